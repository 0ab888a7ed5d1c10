#include "scripts/ShellScript.h"

#include "platform/Messages.h"

#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace qm {
namespace {

const QString kShell = QStringLiteral("/bin/sh");
constexpr int kDropFailedStatus = 126;
constexpr char kDropFailedMarker[] = "quillmere: cannot take the user's ids\n";
// One argument of a command line may not exceed 128 KiB on Linux.
constexpr qsizetype kMaxScriptBytes = 128 * 1024 - 1;
constexpr qsizetype kMaxMessageChars = 2000;

QString shellMessage(const QByteArray &errorOutput)
{
    QString text = QString::fromLocal8Bit(errorOutput).trimmed();
    if (text.size() > kMaxMessageChars)
        text = QStringLiteral("…") + text.right(kMaxMessageChars);
    return text;
}

int syntaxErrorLine(const QString &message)
{
    // "sh: 3: Syntax error: ..." (the shell names the line after its name)
    static const QRegularExpression re(QStringLiteral("^[^:\\n]*: (?:line )?(\\d+): "));
    const auto m = re.match(message);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

bool runAsOtherUser(const std::optional<UserIdentity> &runAs)
{
    return runAs && runAs->uid != ::getuid();
}

void stopGroup(QProcess &process)
{
    const pid_t pid = pid_t(process.processId());
    if (pid > 0)
        ::kill(-pid, SIGTERM);
    if (!process.waitForFinished(2000)) {
        if (pid > 0)
            ::kill(-pid, SIGKILL);
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

const QString ShellScript::kNewScriptText = QStringLiteral("# Write or paste here your shell script");
const QString ShellScript::kOldPlaceholder = QStringLiteral("-- Write or paste here your AppleScript");

std::optional<UserIdentity> UserIdentity::forUser(uid_t uid)
{
    const passwd *pw = ::getpwuid(uid);
    if (!pw)
        return std::nullopt;
    UserIdentity id;
    id.uid = uid;
    id.gid = pw->pw_gid;
    int count = 64;
    id.groups.resize(size_t(count));
    if (::getgrouplist(pw->pw_name, pw->pw_gid, id.groups.data(), &count) < 0) {
        id.groups.resize(size_t(count));
        ::getgrouplist(pw->pw_name, pw->pw_gid, id.groups.data(), &count);
    }
    id.groups.resize(size_t(count));
    return id;
}

std::optional<UserIdentity> UserIdentity::realUserIfElevated()
{
    if (::geteuid() != 0)
        return std::nullopt;
    // Started through the privilege-escalation service, every id is root's
    // and only the service's note tells whose program this is. Trusting the
    // note can only take rights away, never give them.
    bool ok = false;
    const uint escalatedFor = qEnvironmentVariable("PKEXEC_UID").toUInt(&ok);
    if (::getuid() == 0 && ok && escalatedFor != 0)
        return forUser(uid_t(escalatedFor));
    if (::getuid() == 0 && ::getgid() == ::getegid())
        return std::nullopt;
    std::optional<UserIdentity> id = forUser(::getuid());
    if (!id) {
        id = UserIdentity();
        id->uid = ::getuid();
        id->groups = {::getgid()};
    }
    id->gid = ::getgid();
    return id;
}

bool ShellScript::isEmptyText(const QString &text)
{
    return text.trimmed().isEmpty() || text.trimmed() == kOldPlaceholder;
}

std::optional<ScriptError> ShellScript::compile(const QString &text)
{
    QProcess process;
    process.setProgram(kShell);
    process.setArguments({QStringLiteral("-n")});
    process.setWorkingDirectory(QStringLiteral("/"));
    process.start();
    if (!process.waitForStarted(10000))
        return ScriptError {std::nullopt, process.errorString(), -1};
    process.write(text.toUtf8());
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        stopGroup(process);
        return ScriptError {std::nullopt, GLS("The syntax check did not end."), -1};
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return std::nullopt;
    const QString message = shellMessage(process.readAllStandardError());
    return ScriptError {process.exitCode(), message, syntaxErrorLine(message)};
}

std::optional<ScriptError> ShellScript::run(const QString &text, const ScriptRunOptions &options,
                                            QByteArray *output)
{
    const QByteArray source = text.toUtf8();
    if (source.size() > kMaxScriptBytes || source.contains('\0'))
        return ScriptError {std::nullopt, GLS("The script is too long to run."), -1};
    QProcess process;
    process.setProgram(kShell);
    process.setArguments({QStringLiteral("-c"), text});
    QProcessEnvironment environment = options.environment;
    if (runAsOtherUser(options.runAs)) {
        // The user's own home and name, not root's.
        if (const passwd *pw = ::getpwuid(options.runAs->uid)) {
            environment.insert(QStringLiteral("HOME"), QString::fromLocal8Bit(pw->pw_dir));
            environment.insert(QStringLiteral("USER"), QString::fromLocal8Bit(pw->pw_name));
            environment.insert(QStringLiteral("LOGNAME"), QString::fromLocal8Bit(pw->pw_name));
        }
    }
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QStringLiteral("/"));
    process.setStandardInputFile(QProcess::nullDevice());
    if (!output)
        process.setStandardOutputFile(QProcess::nullDevice());
    const std::optional<UserIdentity> runAs = options.runAs;
    process.setChildProcessModifier([runAs] {
        // In the child, between fork and exec: only async-signal-safe calls.
        ::setpgid(0, 0); // its own group, so a time-out stops what it started
        if (!runAs)
            return;
        if (::setgroups(runAs->groups.size(), runAs->groups.data()) != 0
            || ::setresgid(runAs->gid, runAs->gid, runAs->gid) != 0
            || ::setresuid(runAs->uid, runAs->uid, runAs->uid) != 0
            || (runAs->uid != 0 && ::setuid(0) == 0)) {
            [[maybe_unused]] auto n = ::write(2, kDropFailedMarker, sizeof kDropFailedMarker - 1);
            ::_exit(kDropFailedStatus);
        }
    });
    process.start();
    if (!process.waitForStarted(10000))
        return ScriptError {std::nullopt, process.errorString(), -1};
    const int timeoutMs = options.timeoutSeconds > 0 ? options.timeoutSeconds * 1000 : -1;
    if (!process.waitForFinished(timeoutMs)) {
        stopGroup(process);
        return ScriptError {std::nullopt,
                            GLS("The script was stopped after running for %@ seconds.")
                                .replace(QLatin1String("%@"),
                                         QString::number(options.timeoutSeconds)),
                            -1};
    }
    const QByteArray errorOutput = process.readAllStandardError();
    if (output)
        *output = process.readAllStandardOutput().left(kMaxOutputBytes);
    if (process.exitStatus() != QProcess::NormalExit) {
        QString message = GLS("The script was ended by a signal.");
        if (!shellMessage(errorOutput).isEmpty())
            message += u'\r' + shellMessage(errorOutput);
        return ScriptError {std::nullopt, message, -1};
    }
    if (process.exitCode() == 0)
        return std::nullopt;
    if (process.exitCode() == kDropFailedStatus && errorOutput.startsWith(kDropFailedMarker))
        return ScriptError {std::nullopt, GLS("Cannot run the script with the rights of the user."),
                            -1};
    return ScriptError {process.exitCode(), shellMessage(errorOutput), -1};
}

} // namespace qm
