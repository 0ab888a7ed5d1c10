#pragma once
// Root mode: the program's own executable becomes root-owned and
// set-user-id, so that later launches run with effective user root and can
// copy other users' items; turning it off gives the file back.
//
// The file is changed by a second instance started through the
// privilege-escalation service with one argument, "--setuidroot" or
// "--setuidme". That instance only changes the file and ends: it runs as
// root with root's home and without the user's session, so the requesting
// instance starts the (now set-user-id) program again itself.
//
// A set-user-id program must not trust its caller: at start it keeps only the
// environment the desktop needs, takes HOME, USER and PATH from the real
// user's account, and only then lets the toolkit start.
#include <QString>
#include <QByteArrayList>

#include <optional>
#include <sys/types.h>

namespace qm {

// The real user's account, as the environment of a set-user-id process is
// rebuilt from it.
struct Account {
    QString name;
    QString home;
    uid_t uid = 0;
    gid_t gid = 0; // primary group
    static std::optional<Account> byUid(uid_t uid);
};

class PrivilegedMode {
public:
    static constexpr int kRefused = 255; // an argument not given through the service
    static constexpr int kCannotStart = 2;
    static constexpr const char *kSetUidRoot = "--setuidroot";
    static constexpr const char *kSetUidMe = "--setuidme";
    static constexpr mode_t kGivenBackMode = 0755;
    static constexpr const char *kSafePath = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

    // The first call of main(), before the toolkit and the command-line
    // options: answers the exit status when the process is to end now.
    static std::optional<int> atProgramStart(int argc, char **argv);

    // The escalation service's tool, chosen once for the whole program.
    static QString escalationTool();
    // The running program's own executable file.
    static QString ownExecutable();

    // The user who asked the escalation service to start this process, when
    // it really was started that way: every id is root's, the service left
    // its note of the caller, and the parent process runs as that caller.
    static std::optional<uid_t> invokingUser();

    // The mode of a file made root-owned and set-user-id: nobody but the
    // owner writes it, others may not start it.
    static mode_t setUidRootMode(mode_t old) { return (old & 07777 & ~mode_t(0023)) | 04000; }

    // Changes the open executable `fd`; false with `error` when a call failed.
    static bool makeRootSetUid(int fd, gid_t userGroup, QString *error);
    static bool giveBack(int fd, uid_t user, gid_t group, QString *error);
    // The desktop module beside the executable: root's and writable only by
    // root while root mode is on, the user's own again when it goes off.
    static constexpr mode_t kModuleMode = 0755; // the most of its old mode it keeps
    static bool takeModule(int fd, uid_t user, QString *error);
    static bool giveBackModule(int fd, uid_t user, gid_t group, QString *error);

    // The environment a set-user-id process keeps ("NAME=value" entries).
    // Paths it keeps (the X authority file, the runtime folder) must be the user's own.
    static QByteArrayList cleanEnvironment(const QByteArrayList &environment, const Account &account);
    static bool isKeptVariable(const QByteArray &name);
};

} // namespace qm
