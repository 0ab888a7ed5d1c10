#pragma once
// The release-notes window and its menu command. The notes come from the
// network: they are shown as plain text, never as rich text.
#include "app/ReleaseNotice.h"

#include <QWidget>

class QAction;
class QPlainTextEdit;

namespace qm {

class ReleaseNotesWindow : public QWidget {
    Q_OBJECT
public:
    explicit ReleaseNotesWindow(const QUrl &address = ReleaseNotice::builtInAddress(), QWidget *parent = nullptr);

    // "What's New…": hidden when the program was built without an address.
    QAction *menuAction() const { return m_action; }
    // The menu command.
    void ShowReleaseNotes();

    QString notesText() const;
    ReleaseNotice &notice() { return m_notice; }

private:
    void showNotes(const QString &notes);
    void bringToFront();

    ReleaseNotice m_notice;
    QPlainTextEdit *m_text = nullptr;
    QAction *m_action = nullptr;
};

} // namespace qm
