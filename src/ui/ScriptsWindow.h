#pragma once
// The script window: the before and after scripts with their boxes, a try
// button for each (run on a thread of their own, with the output and the
// outcome shown), and OK, which checks the enabled scripts before storing.
#include "uimodel/ScriptsForm.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace qm {

class Dialogs;

class ScriptsWindow : public QDialog {
    Q_OBJECT
public:
    ScriptsWindow(Dialogs &dialogs, QWidget *parent = nullptr);

    // SetAppleScriptPanes from the document's current session, then shown
    // window-modal; OK stores into the same document.
    bool openFor(std::function<QVariantMap &()> document);
    // AppleScriptApply: tag 1 checks and stores (closing only when stored).
    void applyButton(int tag);
    // AppleScriptTryExecute: tag 1 the first script, any other the second.
    void tryScript(int tag);

    QCheckBox *startBox() const { return m_startOn; }
    QCheckBox *endBox() const { return m_endOn; }
    QPlainTextEdit *startText() const { return m_startText; }
    QPlainTextEdit *endText() const { return m_endText; }
    QPlainTextEdit *output() const { return m_output; }
    QLabel *status() const { return m_status; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *tryButton(int tag) const { return tag == 1 ? m_tryStart : m_tryEnd; }
    bool isBusy() const { return m_busy; }

    // Run options of the try buttons (tests shorten the time-out).
    ScriptRunOptions tryOptions;

Q_SIGNALS:
    void tryFinished();

private:
    Dialogs &m_dialogs;
    std::function<QVariantMap &()> m_document;
    QCheckBox *m_startOn = nullptr;
    QCheckBox *m_endOn = nullptr;
    QPlainTextEdit *m_startText = nullptr;
    QPlainTextEdit *m_endText = nullptr;
    QPlainTextEdit *m_output = nullptr;
    QLabel *m_status = nullptr;
    QProgressBar *m_busyBar = nullptr;
    QPushButton *m_tryStart = nullptr;
    QPushButton *m_tryEnd = nullptr;
    QPushButton *m_ok = nullptr;
    bool m_busy = false;

    ScriptsForm formShown() const;
    void selectRange(QPlainTextEdit *text, int start, int length);
    void setBusy(bool busy);
};

} // namespace qm
