#pragma once
// Scripted answers to the document's questions, and hooks that count their
// calls, for the document and session-command tests.
#include "app/DocumentLifecycle.h"

#include <deque>
#include <utility>

namespace qmtest {

// Every question asked is recorded; each answer comes from its script,
// a cancel when the script has run out.
struct ScriptedQuestions : qm::DocumentQuestions {
    std::deque<SaveAnswer> saves;
    std::deque<bool> confirms;
    std::deque<QString> savePaths; // "" cancels the panel
    // The name dialog types these one after another, as a user who retries
    // after each warning; "<cancel>" presses Cancel.
    std::deque<QString> typed;
    QStringList warnings, asked, panels, proposed, dialogAlerts;
    int beeps = 0;

    template <class T> static T next(std::deque<T> &script, T otherwise)
    {
        if (script.empty())
            return otherwise;
        T v = script.front();
        script.pop_front();
        return v;
    }
    void warn(AlertKind, const QString &m) override { warnings << m; }
    bool confirm(const QString &m) override { return asked << m, next(confirms, false); }
    SaveAnswer askSaveChanges(const QString &t, const QString &m) override
    {
        asked << t + '|' + m;
        return next(saves, SaveAnswer::Cancel);
    }
    QString chooseDocumentToOpen(const QString &) override { return {}; }
    QString chooseSavePath(const QString &folder, const QString &name) override
    {
        panels << folder + '|' + name;
        return next(savePaths, QString());
    }
    bool askSessionName(QString *name, const std::function<qm::NameCheck(const QString &)> &check) override
    {
        proposed << *name;
        for (; !typed.empty(); typed.pop_front()) {
            const QString attempt = typed.front();
            if (attempt == "<cancel>")
                return typed.pop_front(), false;
            const qm::NameCheck c = check(attempt);
            if (c.outcome != qm::NameCheck::Outcome::Reject) {
                typed.pop_front();
                *name = attempt;
                return c.outcome == qm::NameCheck::Outcome::Accept;
            }
            dialogAlerts << c.message;
        }
        return false;
    }
    void beep() override { ++beeps; }
};

struct CountingHooks : qm::DocumentHooks {
    bool active = true;
    int stops = 0, restarts = 0, changes = 0;
    QList<bool> letGo;
    bool stopTimerCheck() override { return ++stops, std::exchange(active, false); }
    void restartTimerCheck() override { ++restarts, active = true; }
    void documentLetGo(bool closing) override { letGo << closing; }
    void sessionsChanged() override { ++changes; }
};

} // namespace qmtest
