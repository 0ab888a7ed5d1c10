#pragma once
// The session commands of the console's session menu: select a session or
// All Sessions, and New, Duplicate, Rename, Remove and Move, on the open
// document in place. The current session is the document's `sessionIndex`;
// with n sessions, n + 1 means "All Sessions". Questions go through
// DocumentQuestions, and every command refuses while a run is under way.
#include "app/DocumentLifecycle.h"

#include <QList>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace qm {

// One item of the session pop-up menu.
struct SessionMenuItem {
    // The tags the menu items carry; separators have none.
    enum Tag { Separator = -1, SessionTag = 0, AllSessionsTag, NewTag, DuplicateTag, RenameTag, RemoveTag };
    int tag = Separator;
    QString title; // "" for separators
    bool enabled = true;
};

struct SessionMenu {
    bool enabled = true;       // the pop-up itself
    QList<SessionMenuItem> items;
    int selected = 0;          // position of the current session's item
};

struct SessionCommandResult {
    enum class Outcome {
        Done,      // the document changed (or the selection did)
        Unchanged, // nothing to do: the same session chosen, a name left as it was
        Cancelled, // the user cancelled the name dialog or a confirmation
        Refused,   // not allowed; `message` says why (shown as a warning) or is empty
        Busy,      // a run is under way: the menu snaps back to the current session
    };
    Outcome outcome = Outcome::Unchanged;
    QString message;

    bool done() const { return outcome == Outcome::Done; }
};

class SessionCommands {
public:
    // The number of fixed items after the sessions: a separator, "All
    // Sessions", a separator, New, Duplicate, Rename and Remove.
    static constexpr int kFixedItemCount = 7;

    // `document` is the open document (DocumentLifecycle::document()).
    SessionCommands(QVariantMap &document, DocumentQuestions &questions, DocumentHooks *hooks,
                    std::function<bool()> runUnderway);

    int sessionCount() const;
    int currentIndex() const;
    bool IsAllSessions(int index) const { return index == sessionCount() + 1; }
    bool IsCurrentSessionAllSessions() const { return IsAllSessions(currentIndex()); }
    QString GetSessionName(int index) const;

    // The menu as the console shows it. `enable` and `allowAllSessions` are
    // the shown panel's choice (the main panel allows All Sessions, the list
    // and settings panels do not, every other panel disables the menu).
    SessionMenu menu(bool enable = true, bool allowAllSessions = true) const;

    // Acts on the item at `position` of menu(). `fromMenu`: the user chose
    // it (choosing the current session again does nothing). `optionKey`
    // turns Remove into "remove all but the first".
    SessionCommandResult ChooseSession(int position, bool fromMenu = true, bool optionKey = false);

    SessionCommandResult selectSession(int index);
    SessionCommandResult selectAllSessions();
    SessionCommandResult newSession();
    SessionCommandResult duplicateSession();
    SessionCommandResult renameSession();
    SessionCommandResult removeSession(bool optionKey = false);
    // Moves the session at `from` to position `to`; the current session
    // stays current wherever it goes.
    SessionCommandResult moveSession(int from, int to);

    // The name dialog's check of a typed name against every titled item of
    // the menu. `renaming`: the dialog serves a rename of the current session.
    NameCheck AskNameApply(const QString &name, bool renaming) const;

    // Fills a looked-up format: "%d" with `number`, "%@" with `text`.
    static QString formatName(const QString &format, int number, const QString &text = QString());

private:
    enum class Action { Select, AllSessions, New, Duplicate, Rename, Remove };
    SessionCommandResult run(Action action, int index, bool fromMenu, bool optionKey);
    SessionCommandResult perform(Action action, int index, bool optionKey);
    SessionCommandResult add(const QVariantMap &session);
    SessionCommandResult rename();
    SessionCommandResult remove(bool optionKey);
    SessionCommandResult refused(const QString &message);
    QVariantList sessions() const;
    void setSessions(const QVariantList &sessions);
    void setCurrentIndex(int index);

    QVariantMap &m_doc;
    DocumentQuestions &m_questions;
    DocumentHooks m_noHooks;
    DocumentHooks *m_hooks;
    std::function<bool()> m_runUnderway;
};

} // namespace qm
