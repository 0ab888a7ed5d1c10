#pragma once
// The run-as-root check box's action, after the preferences window closed
// with OK and the box differs from the value it opened with.
//
// Turning on (box on, not root): the escalation service starts the program
// with "--setuidroot"; on success the program, now set-user-id, is started
// again and this instance quits. A cancelled password request is silent,
// any other failure is "Authorization denied."; both clear the box.
// Turning off (box off, root): a root process may change its own file, so it
// gives the file back itself and falls back on the service ("--setuidme")
// only when that fails; on success the user chooses to quit now or later.
//
// The service is waited for without blocking: the result comes as a signal.
#include "app/PrivilegedMode.h"

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

#include <memory>

namespace qm {

struct PrivilegeOutcome {
    enum class Kind {
        Nothing,        // no change to make, or no program file to change
        Unavailable,    // no escalation service installed
        Cancelled,      // the user dismissed the password request: silent
        Denied,         // turning on failed
        TurnedOn,       // quit: the set-user-id program has been started
        RestartFailed,  // turned on, but starting the program again failed
        TurnedOff,      // ask "Quit Now" / "Later"
        TurnOffDenied,
    };
    Kind kind = Kind::Nothing;
    bool clearBox = false; // the check box goes back off (prefRoot 0)

    // The alert to show: empty title for none. Buttons as looked up, the
    // first being the default.
    QString title() const;
    QString message() const;
    QStringList buttons() const;
};

struct PrivilegeTools {
    QString escalationTool = PrivilegedMode::escalationTool();
    QString executable = PrivilegedMode::ownExecutable();
};

class PrivilegeChange : public QObject {
    Q_OBJECT
public:
    // The escalation service's exit status when the user dismissed it.
    static constexpr int kDismissed = 126;

    // `prefs` receives prefRoot 0 when the box is cleared; `euidRoot` is the
    // identity recorded at start.
    PrivilegeChange(QVariantMap *prefs, bool euidRoot, PrivilegeTools tools = PrivilegeTools(),
                    QObject *parent = nullptr);
    ~PrivilegeChange() override;

    static bool escalationAvailable(const QString &tool = PrivilegedMode::escalationTool());
    // What the check box says when there is no service.
    static QString unavailableText();

    // Emits finished() once, now or when the service has answered; a call
    // while one is under way is ignored (answers false).
    bool PrefRunAsRoot(bool checked);
    bool isBusy() const { return m_process != nullptr; }

Q_SIGNALS:
    void finished(const qm::PrivilegeOutcome &outcome);

private:
    void turnOn();
    void turnOff();
    void startService(const char *argument, bool turningOn);
    void serviceEnded(bool turningOn, bool started, int exitStatus);
    void finish(PrivilegeOutcome::Kind kind);

    QVariantMap *m_prefs;
    bool m_euidRoot;
    PrivilegeTools m_tools;
    std::unique_ptr<QProcess> m_process;
};

} // namespace qm

Q_DECLARE_METATYPE(qm::PrivilegeOutcome)
