#pragma once
// A session script is POSIX shell text. "Compiling" is the shell's syntax
// check (/bin/sh -n, which reads the text and executes nothing); running is
// /bin/sh -c with the session's context in the environment.
//
// A script fails when it cannot start, ends with a non-zero status, is
// killed by a signal, or is still running after its time-out (default
// kDefaultTimeoutSeconds = 600 s), when it is stopped with its whole process
// group (SIGTERM, then SIGKILL after 2 seconds).
//
// When the program runs with root rights for another user (set-user-id
// root), the script runs with that user's ids: a script is text that any
// document can carry, and running it as root would give every document a
// root shell. The ids are dropped in the child before the shell starts.
#include <QProcessEnvironment>
#include <QString>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace qm {

// What went wrong, in the form the error messages are built from.
struct ScriptError {
    std::optional<int> number; // the shell's exit status, when there is one
    QString message;           // the shell's own words
    int line = -1;             // the script line of a syntax error (1-based), or -1
};

struct UserIdentity {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    // The real user's ids when this process runs with root rights it got
    // from a set-user-id program (or set-group-id); nothing otherwise.
    static std::optional<UserIdentity> realUserIfElevated();
    // A user's ids and supplementary groups by user id.
    static std::optional<UserIdentity> forUser(uid_t uid);
};

struct ScriptRunOptions {
    static constexpr int kDefaultTimeoutSeconds = 600;
    int timeoutSeconds = kDefaultTimeoutSeconds;
    std::optional<UserIdentity> runAs = UserIdentity::realUserIfElevated();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

class ShellScript {
public:
    static const QString kNewScriptText;    // the text of a new session's scripts
    static const QString kOldPlaceholder;   // an old document's untouched script text

    // A text with nothing to run: empty, blank, or the old placeholder.
    static bool isEmptyText(const QString &text);
    // nullopt when the text passes the syntax check.
    static std::optional<ScriptError> compile(const QString &text);
    // nullopt when the script ran and ended with status 0. With `output`,
    // what the script wrote to its standard output is kept there (at most
    // kMaxOutputBytes); otherwise it is discarded.
    static std::optional<ScriptError> run(const QString &text, const ScriptRunOptions &options,
                                          QByteArray *output = nullptr);
    static constexpr qsizetype kMaxOutputBytes = 1 << 20;
};

} // namespace qm
