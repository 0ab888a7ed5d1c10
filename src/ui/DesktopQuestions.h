#pragma once
// The questions of a run and of the document commands, asked with the
// desktop's boxes and panels, on the console window.
#include "app/DocumentLifecycle.h"
#include "engine/RunQuestions.h"
#include "ui/Dialogs.h"

#include <QPointer>
#include <QWidget>

namespace qm {

class WindowFrames;

class DesktopQuestions : public RunQuestions, public DocumentQuestions {
public:
    explicit DesktopQuestions(Dialogs &dialogs) : m_dialogs(dialogs) {}

    void setWindow(QWidget *window) { m_window = window; }
    // Where the preview keeps its frame ("PreviewWindowFrame").
    void setFrames(const WindowFrames *frames) { m_frames = frames; }
    Dialogs &dialogs() { return m_dialogs; }
    // How many warnings were shown so far: a command can tell whether the
    // refusal it met was already explained.
    int warningsShown() const { return m_warnings; }

    // RunQuestions
    bool confirmRun(const RunConfirmation &confirmation) override;
    ErrorChoice errorAlert(const ErrorAlert &alert) override;
    ConflictReply askConflict(const ConflictQuestion &question) override;
    bool showPreview(RunPlan &plan) override;
    void beep() override { m_dialogs.beep(); }
    // The progress bar's animation pauses while a run's question is open.
    void setProgressAnimationHandler(std::function<void(bool)> handler) { m_animation = std::move(handler); }

    // DocumentQuestions
    void warn(AlertKind kind, const QString &message) override;
    bool confirm(const QString &message) override;
    SaveAnswer askSaveChanges(const QString &title, const QString &message) override;
    QString chooseDocumentToOpen(const QString &folder) override;
    QString chooseSavePath(const QString &folder, const QString &proposedName) override;
    bool askSessionName(QString *name, const std::function<NameCheck(const QString &)> &check) override;

private:
    Dialogs &m_dialogs;
    QPointer<QWidget> m_window;
    const WindowFrames *m_frames = nullptr;
    std::function<void(bool)> m_animation;
    int m_warnings = 0;
};

} // namespace qm
