#pragma once
// The question a run puts when a planned operation could lose a change:
// Replace/Delete, Skip/Copy or Stop, and for a synchronization's
// replacement a button that turns its direction round.
#include "uimodel/ConflictDialogModel.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;

namespace qm {

class ConflictDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConflictDialog(const ConflictQuestion &question, QWidget *parent = nullptr);

    // AskReplace: the dialog, modally, and the answer for the waiting run.
    static ConflictReply ask(const ConflictQuestion &question, QWidget *parent = nullptr);
    // The answer once the dialog has ended.
    ConflictReply reply() const;

    QPushButton *okButton() const { return m_ok; }
    QPushButton *skipButton() const { return m_skip; }
    QPushButton *stopButton() const { return m_stopButton; }
    QPushButton *directionButton() const { return m_direction; }
    QPushButton *inspectSourceButton() const { return m_inspectSource; }
    QPushButton *inspectDestButton() const { return m_inspectDest; }
    QString explanation() const;

    // The shell around the dialog, replaceable in tests.
    std::function<void(const QString &path)> openFile;
    std::function<void(const QString &path)> revealItem;

private:
    void end(ConflictDialogModel::Button button);
    void ChangeDirection();

    ConflictDialogModel m_model;
    std::optional<ConflictDialogModel::Button> m_answer;
    QLabel *m_explanation = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_skip = nullptr;
    QPushButton *m_stopButton = nullptr;
    QPushButton *m_direction = nullptr;
    QPushButton *m_inspectSource = nullptr;
    QPushButton *m_inspectDest = nullptr;
};

} // namespace qm
