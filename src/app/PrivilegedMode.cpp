#include "app/PrivilegedMode.h"

#include "app/DesktopModule.h"

#include "platform/OwnFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

extern char **environ;

namespace qm {
namespace {

// The escalation service's own note of who asked it to start the program.
constexpr char kInvokerVariable[] = "PKEXEC_UID";

std::optional<uid_t> parseUid(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9')
            return std::nullopt;
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || value >= qulonglong(uid_t(-1)))
        return std::nullopt;
    return uid_t(value);
}

// The real user id of a process, from its status file.
std::optional<uid_t> realUidOf(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("Uid:"))
            return parseUid(line.mid(4).simplified().split(' ').value(0));
    return std::nullopt;
}

bool fail(QString *error, const char *what)
{
    if (error)
        *error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

bool ownedBy(const QByteArray &path, uid_t uid, bool folder)
{
    struct stat st {};
    if (!path.startsWith('/') || ::stat(path.constData(), &st) != 0 || st.st_uid != uid)
        return false;
    return folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
}

bool changeExecutable(bool toRoot, const Account &account)
{
    // The file this process runs, whatever path it was started by: nothing
    // can swap it between the check and the change.
    const int fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    QString error;
    const bool ok = fd >= 0
                    && (toRoot ? PrivilegedMode::makeRootSetUid(fd, account.gid, &error)
                               : PrivilegedMode::giveBack(fd, account.uid, gid_t(-1), &error));
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        std::fprintf(stderr, "quillmere: cannot change the program file: %s\n",
                     fd < 0 ? std::strerror(errno) : error.toLocal8Bit().constData());
    return ok;
}

// The desktop module beside the executable (a build folder) changes hands
// with it: a set-user-id program loads only a module root owns. An installed
// module is root's already and stays as it is.
bool changeModuleBeside(bool toRoot, const Account &account)
{
    const QString path = DesktopModule::candidates(QFileInfo(PrivilegedMode::ownExecutable()).path()).constFirst();
    // Never through a link: the folder may be the user's, who could aim it at any file.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return true;
    QString error;
    const bool ok = fd >= 0
                    && (toRoot ? PrivilegedMode::takeModule(fd, account.uid, &error)
                               : PrivilegedMode::giveBackModule(fd, account.uid, account.gid, &error));
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        std::fprintf(stderr, "quillmere: cannot change %s: %s\n", QFile::encodeName(path).constData(),
                     fd < 0 ? std::strerror(errno) : error.toLocal8Bit().constData());
    return ok;
}

int changeOwnExecutable(bool toRoot)
{
    const std::optional<uid_t> invoker = PrivilegedMode::invokingUser();
    const std::optional<Account> account = invoker ? Account::byUid(*invoker) : std::nullopt;
    if (!account) {
        std::fprintf(stderr, "quillmere: %s is given only by the privilege-escalation service\n",
                     toRoot ? PrivilegedMode::kSetUidRoot : PrivilegedMode::kSetUidMe);
        return PrivilegedMode::kRefused;
    }
    // In this order a change that stops half way leaves a program that
    // still starts: a module root owns loads in any program, and a
    // set-user-id program never meets a module its user owns.
    const bool ok = toRoot ? changeModuleBeside(true, *account) && changeExecutable(true, *account)
                           : changeExecutable(false, *account) && changeModuleBeside(false, *account);
    return ok ? 0 : PrivilegedMode::kRefused;
}

bool rebuildEnvironment()
{
    const std::optional<Account> account = Account::byUid(::getuid());
    if (!account) {
        std::fputs("quillmere: the user running the program has no account\n", stderr);
        return false;
    }
    QByteArrayList current;
    for (char **e = environ; e && *e; ++e)
        current.append(QByteArray(*e));
    const QByteArrayList kept = PrivilegedMode::cleanEnvironment(current, *account);
    ::clearenv();
    for (const QByteArray &entry : kept) {
        const qsizetype eq = entry.indexOf('=');
        ::setenv(entry.left(eq).constData(), entry.mid(eq + 1).constData(), 1);
    }
    return true;
}

// The executable's descriptor must name a regular file before its owner or
// mode is touched.
bool statRegularFile(int fd, struct stat *st, QString *error)
{
    if (::fstat(fd, st) != 0)
        return fail(error, "stat");
    if (!S_ISREG(st->st_mode)) {
        errno = EINVAL;
        return fail(error, "stat");
    }
    return true;
}

// A second name of the file may lie anywhere; changing its owner would hand
// over that name too.
bool singleLink(const struct stat &st, QString *error)
{
    if (st.st_nlink == 1)
        return true;
    errno = EMLINK;
    return fail(error, "links");
}

} // namespace

std::optional<Account> Account::byUid(uid_t uid)
{
    const passwd *pw = ::getpwuid(uid);
    if (!pw || !pw->pw_name || !pw->pw_dir)
        return std::nullopt;
    return Account{QString::fromLocal8Bit(pw->pw_name), QString::fromLocal8Bit(pw->pw_dir), pw->pw_uid,
                   pw->pw_gid};
}

std::optional<int> PrivilegedMode::atProgramStart(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], kSetUidRoot) == 0)
        return changeOwnExecutable(true);
    if (argc == 2 && std::strcmp(argv[1], kSetUidMe) == 0)
        return changeOwnExecutable(false);
    if (OwnFilesAccess::isSetUserId()) {
        if (!rebuildEnvironment())
            return kCannotStart;
        QCoreApplication::setSetuidAllowed(true);
    }
    return std::nullopt;
}

QString PrivilegedMode::escalationTool()
{
    return QStringLiteral(QM_ESCALATION_TOOL);
}

QString PrivilegedMode::ownExecutable()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

std::optional<uid_t> PrivilegedMode::invokingUser()
{
    if (::getuid() != 0 || ::geteuid() != 0)
        return std::nullopt;
    const std::optional<uid_t> invoker = parseUid(qgetenv(kInvokerVariable));
    if (!invoker || *invoker == 0)
        return std::nullopt;
    // A root shell that sets the note itself is not the service: the
    // service's caller is the parent and runs as the user it names.
    if (realUidOf(::getppid()) != invoker)
        return std::nullopt;
    return invoker;
}

bool PrivilegedMode::makeRootSetUid(int fd, gid_t userGroup, QString *error)
{
    struct stat st {};
    if (!statRegularFile(fd, &st, error))
        return false;
    // The owner first: changing it clears the set-user-id bit.
    if (::fchown(fd, 0, userGroup) != 0)
        return fail(error, "chown");
    if (::fchmod(fd, setUidRootMode(st.st_mode)) != 0)
        return fail(error, "chmod");
    return true;
}

bool PrivilegedMode::giveBack(int fd, uid_t user, gid_t group, QString *error)
{
    struct stat st {};
    if (!statRegularFile(fd, &st, error))
        return false;
    if (::fchown(fd, user, group) != 0)
        return fail(error, "chown");
    if (::fchmod(fd, kGivenBackMode) != 0)
        return fail(error, "chmod");
    return true;
}

bool PrivilegedMode::takeModule(int fd, uid_t user, QString *error)
{
    struct stat st {};
    if (!statRegularFile(fd, &st, error) || !singleLink(st, error))
        return false;
    if (st.st_uid != 0 && st.st_uid != user) {
        errno = EPERM; // someone else's file is not the user's to hand over
        return fail(error, "owner");
    }
    if (st.st_uid != 0 && ::fchown(fd, 0, gid_t(-1)) != 0)
        return fail(error, "chown");
    if (::fchmod(fd, st.st_mode & kModuleMode) != 0)
        return fail(error, "chmod");
    return true;
}

bool PrivilegedMode::giveBackModule(int fd, uid_t user, gid_t group, QString *error)
{
    struct stat st {};
    if (!statRegularFile(fd, &st, error) || !singleLink(st, error))
        return false;
    if (st.st_uid != 0)
        return true; // never root's, or given back already
    if (::fchown(fd, user, group) != 0)
        return fail(error, "chown");
    if (::fchmod(fd, kGivenBackMode) != 0)
        return fail(error, "chmod");
    return true;
}

bool PrivilegedMode::isKeptVariable(const QByteArray &name)
{
    static const QByteArrayList kKept{"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "XDG_SESSION_TYPE",
                                      "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "LANG", "LANGUAGE"};
    if (kKept.contains(name))
        return true;
    if (!name.startsWith("LC_") || name.size() == 3)
        return false;
    for (char c : name.mid(3))
        if (!(c >= 'A' && c <= 'Z') && c != '_')
            return false;
    return true;
}

QByteArrayList PrivilegedMode::cleanEnvironment(const QByteArrayList &environment, const Account &account)
{
    QByteArrayList kept;
    for (const QByteArray &entry : environment) {
        const qsizetype eq = entry.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray name = entry.left(eq);
        const QByteArray value = entry.mid(eq + 1);
        if (!isKeptVariable(name))
            continue;
        // Files and folders named here are read with root's rights: only
        // the user's own are trusted.
        if (name == "XAUTHORITY" && !ownedBy(value, account.uid, false))
            continue;
        if (name == "XDG_RUNTIME_DIR" && !ownedBy(value, account.uid, true))
            continue;
        // A display name, never a path to some other socket.
        if (name == "WAYLAND_DISPLAY" && value.contains('/'))
            continue;
        kept.append(entry);
    }
    kept.append("HOME=" + QFile::encodeName(account.home));
    kept.append("USER=" + QFile::encodeName(account.name));
    kept.append("LOGNAME=" + QFile::encodeName(account.name));
    kept.append(QByteArray("PATH=") + kSafePath);
    return kept;
}

} // namespace qm
