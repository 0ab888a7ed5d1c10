// Root mode on a multi-user system: the two arguments only through the
// escalation service, the file modes and owners they leave, and what a
// set-user-id copy of the program does when another user starts it.
#include "app/PrivilegeChange.h"
#include "app/PrivilegedMode.h"
#include "support/Documents.h"
#include "support/Files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qm;

namespace {

bool tool(const QString &name, const QStringList &args)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable(name, {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}), args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct FileState {
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0;
    QByteArray digest;
    bool operator==(const FileState &) const = default;
};

FileState stateOf(const QString &path)
{
    struct stat st {};
    FileState s;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.uid = st.st_uid;
    s.gid = st.st_gid;
    s.mode = st.st_mode & 07777;
    QFile f(path);
    if (f.open(QIODevice::ReadOnly))
        s.digest = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    return s;
}

struct Ran {
    int status = -1;
    QString errors;
};

// Starts a program as `uid` (all its ids) with exactly `environment`.
Ran runAs(uid_t uid, gid_t gid, const QString &program, const QStringList &args,
          const QStringList &environment = {}, int timeoutMs = 60000)
{
    QProcess p;
    p.setProgram(program);
    p.setArguments(args);
    p.setEnvironment(environment);
    p.setWorkingDirectory(QStringLiteral("/"));
    p.setChildProcessModifier([uid, gid] {
        if (::setgroups(1, &gid) != 0 || ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0)
            ::_exit(250);
    });
    p.start();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardError())};
}

// A copy of the program and of its message tables in a folder every user
// can reach, and a second user made for the test.
class OwnExecutable : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "changing file owners and making a user need root";
        if (QStandardPaths::findExecutable("useradd", {"/usr/sbin"}).isEmpty())
            GTEST_SKIP() << "useradd is missing (package passwd)";
        ASSERT_TRUE(m_dir.isValid());
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        m_user = QStringLiteral("qmpriv%1").arg(::getpid() % 100000);
        tool("userdel", {"-r", m_user}); // left over by an interrupted run
        m_home = m_dir.filePath("home");
        ASSERT_TRUE(tool("useradd", {"-m", "-U", "-d", m_home, "-s", "/bin/sh", m_user}));
        m_made = true;
        const passwd *pw = ::getpwnam(m_user.toLocal8Bit().constData());
        ASSERT_NE(pw, nullptr);
        m_uid = pw->pw_uid;
        m_gid = pw->pw_gid;
        m_program = m_dir.filePath("quillmere");
        ASSERT_TRUE(QFile::copy(QStringLiteral(QM_EXECUTABLE), m_program));
        ASSERT_TRUE(tool("cp", {"-r", QStringLiteral(QM_BINARY_DIR "/resources"), m_dir.path()}));
        m_module = m_dir.filePath("quillmere-desktop.so");
        ASSERT_TRUE(QFile::copy(QStringLiteral(QM_DESKTOP_MODULE), m_module));
        for (const QString &f : {m_program, m_module}) {
            ASSERT_EQ(::chown(QFile::encodeName(f).constData(), m_uid, 0), 0);
            ASSERT_EQ(::chmod(QFile::encodeName(f).constData(), 0775), 0);
        }
        // The stand-in is set-user-id root, as the real service is.
        m_service = m_dir.filePath("escalate");
        ASSERT_TRUE(QFile::copy(QStringLiteral(QM_ESCALATION_STANDIN), m_service));
        ASSERT_EQ(::chown(QFile::encodeName(m_service).constData(), 0, 0), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(m_service).constData(), 04755), 0);
    }

    void TearDown() override
    {
        if (m_made)
            tool("userdel", {"-r", m_user});
    }

    Ran asUser(const QString &program, const QStringList &args, const QStringList &env = {})
    {
        return runAs(m_uid, m_gid, program, args, env);
    }
    // As the program asks the service: from a process of the user's.
    Ran throughService(const char *argument)
    {
        return asUser(QStringLiteral("/bin/sh"), {"-c", "\"$0\" \"$@\"; exit $?", m_service, m_program, argument});
    }

    QTemporaryDir m_dir;
    QString m_user, m_home, m_program, m_module, m_service;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    bool m_made = false;
};

TEST_F(OwnExecutable, ArgumentsFromAShellEndWith255AndTouchNothing)
{
    const FileState before = stateOf(m_program), moduleBefore = stateOf(m_module);
    struct Case {
        const char *argument;
        bool asRoot;
        bool forgedNote; // a shell that sets the service's note itself
    } cases[] = {
        {"--setuidroot", true, false}, {"--setuidme", true, false},  {"--setuidroot", true, true},
        {"--setuidme", true, true},    {"--setuidroot", false, false}, {"--setuidme", false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.argument) + (c.asRoot ? " as root" : " as the user")
                     + (c.forgedNote ? " with a forged note" : ""));
        const QStringList env = c.forgedNote ? QStringList{QStringLiteral("PKEXEC_UID=%1").arg(m_uid)} : QStringList{};
        const Ran r = c.asRoot ? runAs(0, 0, m_program, {c.argument}, env) : asUser(m_program, {c.argument}, env);
        EXPECT_EQ(r.status, 255) << r.errors.toStdString();
        EXPECT_TRUE(stateOf(m_program) == before);
        EXPECT_TRUE(stateOf(m_module) == moduleBefore);
    }
}

TEST_F(OwnExecutable, ThroughTheServiceTheFileBecomesRootsAndComesBack)
{
    const Ran on = throughService("--setuidroot");
    ASSERT_EQ(on.status, 0) << on.errors.toStdString();
    FileState s = stateOf(m_program);
    EXPECT_EQ(s.uid, 0u);
    EXPECT_EQ(s.gid, m_gid); // the user's group, not the file's old one
    EXPECT_EQ(s.mode, mode_t(04754)) << std::oct << s.mode; // others may not start it
    s = stateOf(m_module);
    EXPECT_EQ(s.uid, 0u);
    EXPECT_EQ(s.mode, mode_t(0755)) << std::oct << s.mode; // nobody but root changes it

    const Ran off = throughService("--setuidme");
    ASSERT_EQ(off.status, 0) << off.errors.toStdString();
    for (const QString &f : {m_program, m_module}) {
        s = stateOf(f);
        EXPECT_EQ(s.uid, m_uid);
        EXPECT_EQ(s.gid, m_gid);
        EXPECT_EQ(s.mode, mode_t(0755)) << std::oct << s.mode; // never writable by all
    }
}

// A set-user-id program runs the desktop module's code with root's rights:
// it loads only a module that nobody but root can change.
TEST_F(OwnExecutable, SetUserIdProgramLoadsOnlyAModuleOnlyRootCanChange)
{
    const Ran on = throughService("--setuidroot");
    ASSERT_EQ(on.status, 0) << on.errors.toStdString();
    struct Case {
        const char *name;
        bool usersOwn;
        mode_t mode;
        const char *says;
    } cases[] = {
        {"root's", false, 0755, "^quillmere: no display"}, // loaded, and the desktop says why it ends
        {"root's, writable by the group", false, 0775, "cannot load the desktop program: .*writable by others"},
        {"the user's", true, 0755, "cannot load the desktop program: .*not owned by root"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(::chown(QFile::encodeName(m_module).constData(), c.usersOwn ? m_uid : 0, m_gid), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(m_module).constData(), c.mode), 0);
        const Ran r = asUser(m_program, {});
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.errors.trimmed().contains(QRegularExpression(QString::fromLatin1(c.says))))
            << r.errors.toStdString();
    }
}

// The set-user-id copy started by the user with a planted environment: the
// copy has root's reach (it backs up a file only root can read), but its
// environment is rebuilt, its script runs as the user, and every file it
// writes in the user's home belongs to the user.
TEST_F(OwnExecutable, SetUserIdCopyStartedByTheUserKeepsNoneOfItsEnvironment)
{
    ASSERT_EQ(::chown(QFile::encodeName(m_program).constData(), 0, m_gid), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(m_program).constData(), 04754), 0);
    const QString source = m_home + "/source", dest = m_home + "/dest", out = m_home + "/out";
    for (const QString &d : {source, dest, out})
        ASSERT_TRUE(QDir().mkpath(d));
    const QString secret = source + "/root-only.txt";
    {
        QFile f(secret);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("only root reads this");
    }
    ::chmod(QFile::encodeName(secret).constData(), 0600); // owned by root
    const QString script = QStringLiteral("/usr/bin/id -u > '%1/uid'; /usr/bin/env > '%1/env'").arg(out);
    const QString doc = qmtest::writeSession(m_home + "/doc.qmy", 0,
                                             {{"topFolder", source}, {"bottomFolder", dest}, {"settTask", 2},
                                              {"asStartOn", 1}, {"asStartText", script}});
    ASSERT_FALSE(doc.isEmpty());
    for (const QString &p : {out, doc, source, dest})
        ASSERT_EQ(::chown(QFile::encodeName(p).constData(), m_uid, m_gid), 0);
    const QString planted = m_dir.filePath("planted");
    QDir().mkpath(planted);

    const Ran r = asUser(m_program, {"--batch", doc},
                         {"HOME=/root", "USER=root", "PATH=" + planted, "LD_LIBRARY_PATH=" + planted,
                          "QT_PLUGIN_PATH=" + planted, "QT_QPA_PLATFORM_PLUGIN_PATH=" + planted,
                          "XDG_CONFIG_HOME=" + planted, "LANG=C.UTF-8"});
    EXPECT_EQ(r.status, 0) << r.errors.toStdString();

    EXPECT_TRUE(QFile::exists(dest + "/root-only.txt")); // the copy ran with root's rights
    EXPECT_EQ(qmtest::bytesOf(out + "/uid").trimmed(), QByteArray::number(m_uid)); // the script did not
    const QByteArray env = qmtest::bytesOf(out + "/env");
    for (const char *gone : {"LD_LIBRARY_PATH=", "QT_PLUGIN_PATH=", "QT_QPA_PLATFORM_PLUGIN_PATH=", "XDG_CONFIG_HOME="})
        EXPECT_FALSE(env.contains(gone)) << gone;
    EXPECT_FALSE(env.contains(planted.toLocal8Bit()));
    EXPECT_TRUE(env.contains(("\nHOME=" + m_home + "\n").toLocal8Bit()));
    EXPECT_TRUE(env.contains("\nLANG=C.UTF-8\n"));
    EXPECT_TRUE(QDir(planted).isEmpty());

    // The preferences, the template and the folders made at start.
    EXPECT_TRUE(QFile::exists(m_home + "/.config/Quillmere/Quillmere 3.0 Prefs.plist"));
    QDirIterator it(m_home, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    int seen = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.startsWith(dest) || path.startsWith(source))
            continue; // the copied items carry their own owners
        ++seen;
        EXPECT_EQ(stateOf(path).uid, m_uid) << path.toStdString();
    }
    EXPECT_GT(seen, 3);
}

// The check box's action, with stand-ins for the service and the program.
class RunAsRootBox : public ::testing::Test {
protected:
    QString script(const QString &name, const QByteArray &body)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\n" + body + "\n");
        f.close();
        f.setPermissions(QFile::permissions(path) | QFile::ExeOwner);
        return path;
    }
    // A service that notes its arguments and ends with `status`.
    QString service(int status)
    {
        return script("service", QStringLiteral("echo \"$@\" > '%1/service-args'; exit %2")
                                     .arg(m_dir.path())
                                     .arg(status)
                                     .toLocal8Bit());
    }
    QString program() { return script("program", QStringLiteral("touch '%1/restarted'").arg(m_dir.path()).toLocal8Bit()); }

    PrivilegeOutcome change(bool euidRoot, bool checked, const PrivilegeTools &tools)
    {
        PrivilegeChange c(&m_prefs, euidRoot, tools);
        QSignalSpy spy(&c, &PrivilegeChange::finished);
        EXPECT_TRUE(c.PrefRunAsRoot(checked));
        EXPECT_TRUE(spy.wait(20000));
        return spy.value(0).value(0).value<PrivilegeOutcome>();
    }

    QTemporaryDir m_dir;
    QVariantMap m_prefs{{"prefRoot", 1}};
};

TEST_F(RunAsRootBox, TurningOnFollowsTheServicesAnswer)
{
    using Kind = PrivilegeOutcome::Kind;
    struct Case {
        int status;
        Kind kind;
        bool restarted;
    } cases[] = {
        {0, Kind::TurnedOn, true},
        {126, Kind::Cancelled, false}, // the user dismissed the password request
        {127, Kind::Denied, false},
        {255, Kind::Denied, false}, // the program refused
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        QFile::remove(m_dir.filePath("restarted"));
        m_prefs["prefRoot"] = 1;
        const PrivilegeOutcome o = change(false, true, {service(c.status), program()});
        EXPECT_EQ(o.kind, c.kind);
        const bool cleared = c.kind != Kind::TurnedOn;
        EXPECT_EQ(o.clearBox, cleared);
        EXPECT_EQ(m_prefs.value("prefRoot").toInt(), cleared ? 0 : 1);
        EXPECT_EQ(qmtest::bytesOf(m_dir.filePath("service-args")).trimmed(),
                  (m_dir.filePath("program") + " --setuidroot").toLocal8Bit());
        QTest::qWait(c.restarted ? 300 : 0);
        EXPECT_EQ(QFile::exists(m_dir.filePath("restarted")), c.restarted);
    }
}

TEST_F(RunAsRootBox, WithoutTheServiceTheBoxSaysSoAndGoesBackOff)
{
    const PrivilegeOutcome o = change(false, true, {m_dir.filePath("no-such-service"), program()});
    EXPECT_EQ(o.kind, PrivilegeOutcome::Kind::Unavailable);
    EXPECT_TRUE(o.clearBox);
    EXPECT_EQ(o.message(), PrivilegeChange::unavailableText());
    EXPECT_FALSE(PrivilegeChange::escalationAvailable(m_dir.filePath("no-such-service")));
}

TEST_F(RunAsRootBox, OnlyAChangeOfStateDoesAnything)
{
    for (bool root : {false, true}) {
        const PrivilegeOutcome o = change(root, root, {service(0), program()});
        EXPECT_EQ(o.kind, PrivilegeOutcome::Kind::Nothing);
    }
    EXPECT_FALSE(QFile::exists(m_dir.filePath("service-args")));
}

TEST_F(RunAsRootBox, TurningOffGivesTheFileBackAsNotWritableByOthers)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a root-owned set-user-id file needs root";
    const QString file = program();
    ::chmod(QFile::encodeName(file).constData(), 04754);
    const PrivilegeOutcome o = change(true, false, {service(127), file});
    EXPECT_EQ(o.kind, PrivilegeOutcome::Kind::TurnedOff);
    EXPECT_EQ(stateOf(file).mode, mode_t(0755));
    EXPECT_EQ(stateOf(file).uid, ::getuid());
    EXPECT_FALSE(QFile::exists(m_dir.filePath("service-args"))); // no password needed

    // When the file cannot be changed directly, the service is asked.
    const QString missing = m_dir.filePath("gone");
    EXPECT_EQ(change(true, false, {service(0), missing}).kind, PrivilegeOutcome::Kind::TurnedOff);
    EXPECT_EQ(qmtest::bytesOf(m_dir.filePath("service-args")).trimmed(), (missing + " --setuidme").toLocal8Bit());
    EXPECT_EQ(change(true, false, {service(127), missing}).kind, PrivilegeOutcome::Kind::TurnOffDenied);
}

TEST(SetUserIdEnvironment, KeepsOnlyTheDesktopsVariablesAndTheUsersAccount)
{
    QTemporaryDir dir;
    const QByteArray mine = QFile::encodeName(dir.filePath("xauth"));
    QFile(dir.filePath("xauth")).open(QIODevice::WriteOnly);
    const Account account{"ann", "/home/ann", ::getuid(), ::getgid()};
    const uid_t other = ::getuid() + 1;
    const QByteArray foreign = QFile::encodeName(dir.filePath("foreign"));
    QFile(dir.filePath("foreign")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(::geteuid() != 0 || ::chown(foreign.constData(), other, 0) == 0);

    struct Case {
        QByteArray entry;
        bool kept;
    } cases[] = {
        {"DISPLAY=:0", true},
        {"WAYLAND_DISPLAY=wayland-0", true},
        {"WAYLAND_DISPLAY=/run/other.sock", false},
        {"XAUTHORITY=" + mine, true},
        {"XAUTHORITY=" + foreign, false}, // another user's file (only root can make one)
        {"XAUTHORITY=relative", false},
        {"XDG_RUNTIME_DIR=" + QFile::encodeName(dir.path()), true},
        {"DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1/bus", true},
        {"LANG=fr_FR.UTF-8", true},
        {"LC_MESSAGES=fr_FR.UTF-8", true},
        {"LC_=x", false},
        {"LD_LIBRARY_PATH=/tmp/x", false},
        {"LD_PRELOAD=/tmp/x.so", false},
        {"QT_PLUGIN_PATH=/tmp/x", false},
        {"QT_QPA_PLATFORM_PLUGIN_PATH=/tmp/x", false},
        {"XDG_CONFIG_HOME=/tmp/x", false},
        {"HOME=/root", false},
        {"PATH=/tmp/x", false},
    };
    for (const Case &c : cases) {
        if (c.entry.contains("foreign") && ::geteuid() != 0)
            continue;
        const QByteArrayList kept = PrivilegedMode::cleanEnvironment({c.entry}, account);
        EXPECT_EQ(kept.contains(c.entry), c.kept) << c.entry.constData();
        EXPECT_EQ(kept.size(), c.kept ? 5 : 4) << c.entry.constData();
        EXPECT_TRUE(kept.contains("HOME=/home/ann"));
        EXPECT_TRUE(kept.contains("USER=ann"));
        EXPECT_TRUE(kept.contains(QByteArray("PATH=") + PrivilegedMode::kSafePath));
    }
}

} // namespace
