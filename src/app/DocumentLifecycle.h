#pragma once
// The life of the open document: new, open, save, save as, revert, close and
// quit, with the unsaved-changes test, and the list of recent documents.
// Nothing here shows anything: every question to the user goes through
// DocumentQuestions, and what the windows, the session menu and the timer
// check must do in answer goes through DocumentHooks.
#include "app/AppPaths.h"
#include "app/SessionDocument.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>

namespace qm {

// What the name dialog's OK button decides about a typed name.
struct NameCheck {
    enum class Outcome {
        Accept,    // close the dialog, confirmed
        Reject,    // show `message` ("Warning:", "OK") and keep the dialog open
        Unchanged, // close the dialog unconfirmed: nothing changes
    };
    Outcome outcome = Outcome::Accept;
    QString message;
};

// The questions the document and session commands ask the user. The desktop
// program answers them with alerts, panels and sheets; tests script them.
class DocumentQuestions {
public:
    enum class SaveAnswer { Save, DontSave, Cancel };
    enum class AlertKind { Plain, Critical };

    virtual ~DocumentQuestions() = default;
    // An alert titled "Warning:" with the one button "OK".
    virtual void warn(AlertKind kind, const QString &message) = 0;
    // "Warning:" with "OK" (true) and "Cancel" (false).
    virtual bool confirm(const QString &message) = 0;
    // Titled `title`, with `message` and "Save" (default), "Don't Save", "Cancel".
    virtual SaveAnswer askSaveChanges(const QString &title, const QString &message) = 0;
    // An open panel for one "qmy" file starting in `folder`; "" when cancelled.
    virtual QString chooseDocumentToOpen(const QString &folder) = 0;
    // A save panel requiring the type "qmy", in `folder`, proposing
    // `proposedName`; the chosen full path, or "" when cancelled.
    virtual QString chooseSavePath(const QString &folder, const QString &proposedName) = 0;
    // The name dialog, holding `*name` at first. Each OK is put to `check`,
    // which decides whether the dialog closes. True when it closed confirmed,
    // with the name in `*name`.
    virtual bool askSessionName(QString *name,
                                const std::function<NameCheck(const QString &)> &check) = 0;
    virtual void beep() {}
};

// What the rest of the program does when the document changes. Every
// member has a default that does nothing, so a host overrides only what it has.
class DocumentHooks {
public:
    virtual ~DocumentHooks() = default;
    // Stops the 10-second timer check; answers whether it was running.
    virtual bool stopTimerCheck() { return false; }
    virtual void restartTimerCheck() {}
    // Another document is open (New, Open, Revert): rebuild the session
    // menu and the schedule (restarting the check when the timers are on),
    // empty the comment field, retitle and show the console.
    virtual void documentReplaced() {}
    // The document was written to a new place: retitle the console.
    virtual void documentRenamed() {}
    // The document was let go. `windowClosing`: the console closes itself;
    // otherwise go to the closed-document state (session menu disabled,
    // console, log, preferences and scheduling windows closed). Either way
    // the run log text goes back to its fixed header.
    virtual void documentLetGo(bool windowClosing) { (void)windowClosing; }
    // A session command changed the sessions or the current one: select its
    // menu item, rebuild the schedule and show the shown panel again.
    virtual void sessionsChanged() {}
};

// The documents opened or saved lately, most recent first, kept in a small
// property list in the preferences folder (the desktop's own list is not
// reachable from the engine's libraries).
class RecentDocuments {
public:
    static constexpr int kMaxCount = 10;

    explicit RecentDocuments(const AppPaths &paths);
    static QString fileName() { return QStringLiteral("Quillmere 3.0 Recent Documents.plist"); }

    // The stored paths, most recent first; a missing or damaged list is empty.
    QStringList paths() const;
    // Puts `path` first (once), dropping the oldest past kMaxCount.
    bool add(const QString &path);
    bool clear();

private:
    bool store(const QStringList &paths);
    QString m_file;
};

// Answers of applicationShouldTerminate().
enum class TerminateReply {
    Now,      // quit now
    Cancel,   // stay
    AfterRun, // a run is under way and the user agreed: stop it, quit when it ends
};

// A command of the main menu that this class carries out.
enum class DocumentCommand { New, Open, Close, Save, SaveAs, Revert };

class DocumentLifecycle {
public:
    struct OpenResult {
        bool ok = false;
        bool deferred = false; // launching had not finished: opened later
        QString message;       // why not, when the reading refused the file
    };

    // The document open at launch is the template document `templateDoc`.
    DocumentLifecycle(const AppPaths &paths, QVariantMap templateDoc, DocumentQuestions &questions,
                      DocumentHooks *hooks, std::function<bool()> runUnderway);

    // The open document (or the last one, once closed); the object stays the
    // same for the life of this class, so references to it stay valid.
    QVariantMap &document() { return m_doc; }
    const QVariantMap &document() const { return m_doc; }
    const QString &pathDocumentFile() const { return m_path; }
    bool isDocumentOpen() const { return m_open; }
    bool isDocumentSaved() const { return m_saved; }
    bool isDocumentTemplate() const { return m_template; }
    // The console window's title: the file name without its extension, or "Untitled".
    const QString &windowTitle() const { return m_title; }
    RecentDocuments &recentDocuments() { return m_recent; }

    // Whether a command of the main menu can be chosen now.
    bool isEnabled(DocumentCommand command) const;

    bool FileNew();
    // Runs the open panel, then openFile(); false when cancelled or refused.
    bool FileOpen();
    // Opens the document at `path` in place of the open one. A file that
    // cannot be read leaves the open document, its state and its question
    // alone; the reading's message is in the result.
    OpenResult openFile(const QString &path);
    // Launching has ended: a document handed over before opens now.
    OpenResult finishLaunching();
    // Lets the open document go; `windowClosing` when the console closes
    // itself. False when the user or a run keeps it.
    bool DoFileClose(bool windowClosing);
    bool windowShouldClose() { return DoFileClose(true); }
    // Writes the document to its file, or asks for one. True when written.
    bool SaveAFile();
    bool FileSaveAs();
    // Reads the document's file again, discarding the changes (after asking
    // when there are some). False when nothing was reverted.
    bool revertToSaved();

    // Whether the open document differs from its file (or, untitled, from a
    // new document), by comparing their written forms.
    bool isDocumentToBeSaved();
    static bool IsFileEqualToFile(const QString &a, const QString &b);

    TerminateReply applicationShouldTerminate();
    // After the quit is agreed: the document goes to the template path.
    DocumentWriteResult writeTemplate();

private:
    bool runUnderway() const { return m_runUnderway && m_runUnderway(); }
    bool saveTo(const QString &path);
    bool saveWithPanel(const QString &proposedName);
    // The unsaved-changes question; true when the document may go.
    bool settleUnsavedChanges();
    void install(QVariantMap doc, const QString &path);
    void setTitleFromPath(const QString &path);

    AppPaths m_paths;
    QVariantMap m_doc;
    QString m_path;
    QString m_title;
    bool m_open = true;
    bool m_saved = false;
    bool m_template = true;
    bool m_launchFinished = false;
    QString m_pathToOpenAtLaunch;
    DocumentQuestions &m_questions;
    DocumentHooks m_noHooks;
    DocumentHooks *m_hooks;
    std::function<bool()> m_runUnderway;
    RecentDocuments m_recent;
};

} // namespace qm
