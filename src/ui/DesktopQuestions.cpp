#include "ui/DesktopQuestions.h"

#include "platform/Messages.h"
#include "ui/ConflictDialog.h"
#include "ui/PreviewWindow.h"
#include "ui/WindowFrames.h"

namespace qm {

bool DesktopQuestions::confirmRun(const RunConfirmation &confirmation)
{
    return m_dialogs.alert(m_window, QMessageBox::Question, confirmation.title, confirmation.question,
                           confirmation.buttons) == 0;
}

ErrorChoice DesktopQuestions::errorAlert(const ErrorAlert &alert)
{
    if (m_animation)
        m_animation(false);
    const int chosen = m_dialogs.alert(m_window, QMessageBox::Critical, alert.title, alert.message, alert.buttons);
    if (m_animation)
        m_animation(true);
    if (alert.kind == ErrorAlert::Kind::Stopped)
        return ErrorChoice::Stop;
    return chosen == 0 ? ErrorChoice::Continue : ErrorChoice::Stop;
}

ConflictReply DesktopQuestions::askConflict(const ConflictQuestion &question)
{
    if (m_animation)
        m_animation(false);
    const ConflictReply reply = ConflictDialog::ask(question, m_window);
    if (m_animation)
        m_animation(true);
    return reply;
}

bool DesktopQuestions::showPreview(RunPlan &plan)
{
    PreviewWindow::FrameKeeper keeper;
    if (m_frames) {
        const WindowFrames *frames = m_frames;
        keeper.restore = [frames](QWidget *w, const QString &name) { frames->restore(w, name); };
        keeper.save = [frames](const QWidget *w, const QString &name) { frames->save(w, name); };
    }
    return PreviewWindow::run(plan, m_window, std::move(keeper));
}

void DesktopQuestions::warn(AlertKind kind, const QString &message)
{
    ++m_warnings;
    m_dialogs.alert(m_window, kind == AlertKind::Critical ? QMessageBox::Critical : QMessageBox::Warning,
                    GLS("Warning:"), message, {GLS("OK")});
}

bool DesktopQuestions::confirm(const QString &message)
{
    return m_dialogs.alert(m_window, QMessageBox::Warning, GLS("Warning:"), message,
                           {GLS("OK"), GLS("Cancel")}) == 0;
}

DocumentQuestions::SaveAnswer DesktopQuestions::askSaveChanges(const QString &title, const QString &message)
{
    switch (m_dialogs.alert(m_window, QMessageBox::Warning, title, message,
                            {GLS("Save"), GLS("Don't Save"), GLS("Cancel")})) {
    case 0:
        return SaveAnswer::Save;
    case 1:
        return SaveAnswer::DontSave;
    default:
        return SaveAnswer::Cancel;
    }
}

QString DesktopQuestions::chooseDocumentToOpen(const QString &folder)
{
    return m_dialogs.chooseDocument(m_window, folder);
}

QString DesktopQuestions::chooseSavePath(const QString &folder, const QString &proposedName)
{
    return m_dialogs.chooseSavePath(m_window, folder, proposedName);
}

bool DesktopQuestions::askSessionName(QString *name, const std::function<NameCheck(const QString &)> &check)
{
    return m_dialogs.askName(m_window, name, check);
}

} // namespace qm
