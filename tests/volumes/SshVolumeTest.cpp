// A real remote volume: an SSH server on 127.0.0.2 started by the test, a
// share mounted over SFTP, described, unmounted and mounted again from its
// row with its stored password, which no command line may show.
#include "volumes/AutoMountList.h"
#include "volumes/MountTable.h"
#include "volumes/PasswordCodec.h"
#include "volumes/ToolRunner.h"
#include "volumes/VolumeUtilities.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace qm;

namespace {

const QString kUser = QStringLiteral("qmsshtest");
const QString kPassword = QStringLiteral("Pw@:t3st-remote");
const QString kHost = QStringLiteral("127.0.0.2");
const QString kKnownHosts = QStringLiteral("/etc/ssh/ssh_known_hosts");

bool tool(const QString &program, const QStringList &args, const QByteArray &input = {})
{
    return ToolRunner::run(program, args, input, 30000).succeeded();
}

bool portOpen(const char *address, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    ::inet_pton(AF_INET, address, &a.sin_addr);
    const bool open = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    ::close(fd);
    return open;
}

// Watches every process's command line for a text while it lives.
class CommandLineWatch {
public:
    explicit CommandLineWatch(const QByteArray &secret)
        : m_thread([this, secret] {
              while (!m_stop) {
                  const QDir proc(QStringLiteral("/proc"));
                  for (const QString &pid : proc.entryList(QDir::Dirs)) {
                      QFile f(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
                      if (f.open(QIODevice::ReadOnly) && f.readAll().contains(secret))
                          m_seen = true;
                  }
                  ::usleep(5000);
              }
          })
    {
    }
    ~CommandLineWatch() { stop(); }
    bool stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_seen;
    }

private:
    std::atomic<bool> m_stop {false};
    std::atomic<bool> m_seen {false};
    std::thread m_thread;
};

class SshVolume : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "starting an SSH server and mounting need root";
        for (const char *name : {"sshfs", "sshd", "ssh-keygen", "useradd", "userdel", "chpasswd"})
            if (ToolRunner::find(QLatin1String(name)).isEmpty())
                GTEST_SKIP() << name << " is missing (packages sshfs, openssh-server)";
        if (!QFile::exists(QStringLiteral("/dev/fuse")))
            GTEST_SKIP() << "no /dev/fuse";
        if (portOpen("127.0.0.2", 22))
            GTEST_SKIP() << "something already listens on 127.0.0.2:22";
        ASSERT_TRUE(m_dir.isValid());
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                | QFileDevice::ExeOther);
        tool("userdel", {kUser}); // a leftover of an interrupted run
        const QString home = m_dir.filePath("home");
        ASSERT_TRUE(tool("useradd", {"-m", "-d", home, kUser}));
        m_userMade = true;
        ASSERT_TRUE(tool("chpasswd", {}, (kUser + u':' + kPassword).toUtf8()));
        QDir().mkpath(home + "/share");
        ASSERT_TRUE(qmtest::writeBytes(home + "/share/on-server.txt", "remote"));
        ASSERT_TRUE(tool("chown", {"-R", kUser, home}));
        startServer();
        m_mountPoint = m_dir.filePath("Remote Share");
        QDir().mkpath(m_mountPoint);
    }

    void startServer()
    {
        const QString key = m_dir.filePath("hostkey");
        ASSERT_TRUE(tool("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", key}));
        const QString config = m_dir.filePath("sshd_config");
        ASSERT_TRUE(qmtest::writeBytes(
            config, QStringLiteral("ListenAddress %1:22\nHostKey %2\nPidFile %3\nUsePAM no\n"
                                   "PasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                                   "PermitRootLogin no\nAllowUsers %4\nStrictModes no\n"
                                   "Subsystem sftp internal-sftp\n")
                        .arg(kHost, key, m_dir.filePath("sshd.pid"), kUser).toUtf8()));
        QDir().mkpath("/run/sshd");
        ASSERT_TRUE(tool("sshd", {"-f", config, "-E", m_dir.filePath("sshd.log")}));
        // The server listens a moment before it writes its pid file: wait for both.
        for (int i = 0; i < 100; ++i) {
            m_serverPid = qmtest::bytesOf(m_dir.filePath("sshd.pid")).trimmed().toInt();
            if (m_serverPid > 0 && portOpen("127.0.0.2", 22))
                break;
            QThread::msleep(50);
        }
        ASSERT_GT(m_serverPid, 0);
        // The server's key is known, as it would be for a server the user set up.
        QFile pub(key + QStringLiteral(".pub"));
        ASSERT_TRUE(pub.open(QIODevice::ReadOnly));
        m_knownLine = kHost.toUtf8() + ' ' + pub.readAll().split(' ').mid(0, 2).join(' ') + '\n';
        m_knownHostsExisted = QFile::exists(kKnownHosts);
        QFile known(kKnownHosts);
        ASSERT_TRUE(known.open(QIODevice::Append));
        known.write(m_knownLine);
    }

    void TearDown() override
    {
        while (!m_mountPoint.isEmpty() && MountTable::read().isMountPoint(m_mountPoint))
            if (!tool("umount", {m_mountPoint}))
                break;
        if (m_serverPid > 0)
            ::kill(m_serverPid, SIGTERM);
        if (!m_knownLine.isEmpty()) {
            QFile known(kKnownHosts);
            if (known.open(QIODevice::ReadOnly)) {
                QByteArray rest = known.readAll().replace(m_knownLine, QByteArray());
                known.close();
                if (!m_knownHostsExisted && rest.trimmed().isEmpty())
                    QFile::remove(kKnownHosts);
                else if (known.open(QIODevice::WriteOnly | QIODevice::Truncate))
                    known.write(rest);
            }
        }
        if (m_userMade)
            tool("userdel", {kUser});
    }

    bool mounted() const { return MountTable::read().isMountPoint(m_mountPoint); }

    QTemporaryDir m_dir;
    QString m_mountPoint;
    int m_serverPid = 0;
    bool m_userMade = false;
    bool m_knownHostsExisted = false;
    QByteArray m_knownLine;
};

} // namespace

TEST_F(SshVolume, AShareIsDescribedAndMountedAgainWithItsStoredPassword)
{
    // The user mounts the share once by hand.
    ASSERT_TRUE(tool("sshfs", {kUser + u'@' + kHost + ":share", m_mountPoint, "-o", "password_stdin"},
                     kPassword.toUtf8() + '\n'))
        << "the share could not be mounted by hand";
    VolumeUtilities volumes;
    std::optional<VolumeDescriptor> row = volumes.GetVolumeMountInfoDictionary(m_mountPoint + "/on-server.txt");
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->volumeType, VolumeType::Remote);
    EXPECT_EQ(row->identity(), "sftp://" + kUser + u'@' + kHost + "/~/share");
    EXPECT_EQ(row->mountPoint, m_mountPoint);
    EXPECT_EQ(row->unmountVolume, 1);
    EXPECT_TRUE(VolumeUtilities::IsRemoteVolume(m_mountPoint));

    row->password = PasswordCodec::SetWellData(kPassword);
    QVariantList rows = AutoMountList::defaultRows();
    rows[0] = row->toRecord();
    const QVariantMap session = {{"autoMountVolumeOn", 1}, {"autoMountVolumeArray", rows}};
    AutoMountList list(volumes);

    SessionVolumesReport r = list.UnmountAllVolumesForSession(session, {});
    EXPECT_EQ(r.errorCount, 0) << r.errorText.toStdString();
    ASSERT_FALSE(mounted());

    CommandLineWatch watch(kPassword.toUtf8());
    r = list.MountAllVolumesForSession(session, {});
    EXPECT_FALSE(watch.stop()) << "the password showed on a command line";
    EXPECT_EQ(r.errorCount, 0) << r.errorText.toStdString();
    ASSERT_TRUE(mounted());
    EXPECT_EQ(qmtest::bytesOf(m_mountPoint + "/on-server.txt"), QByteArray("remote"));

    r = list.UnmountAllVolumesForSession(session, {});
    EXPECT_EQ(r.errorCount, 0) << r.errorText.toStdString();
    EXPECT_FALSE(mounted());

    // A wrong password mounts nothing and says so.
    const std::optional<TryOutcome> o = list.TryOneMount(row->toRecord(), kUser, "not-the-password");
    ASSERT_TRUE(o.has_value());
    EXPECT_NE(o->status, 0);
    EXPECT_FALSE(o->message.isEmpty());
    EXPECT_FALSE(mounted());
}
