// The mount and unmount rules of the volume list with a scripted mounter,
// and a remote mount through the real system mounter with a stand-in tool
// that checks where the password travels.
#include "volumes/AutoMountList.h"
#include "volumes/IcmpProbe.h"
#include "volumes/MountTable.h"
#include "volumes/PasswordCodec.h"
#include "volumes/VolumeUtilities.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace qm;

namespace {

// A mounter that answers what the test tells it and mounts nothing.
class ScriptedMounter : public Mounter {
public:
    QString name() const override { return QStringLiteral("scripted"); }
    MountOutcome mountRemote(const RemoteMountRequest &r) override { return lastRequest = r, ++mounts, mountAnswer; }
    MountOutcome mountDevice(const QString &, const QString &) override { return ++mounts, mountAnswer; }
    MountOutcome attachImage(const QString &) override { return mountAnswer; }
    MountOutcome detachImage(const QString &) override { return {}; }
    MountOutcome unmount(const MountEntry &, const QString &) override
    {
        ++unmounts;
        return unmountAnswers.isEmpty() ? MountOutcome() : unmountAnswers.takeFirst();
    }

    int mounts = 0, unmounts = 0;
    RemoteMountRequest lastRequest;
    MountOutcome mountAnswer;
    QList<MountOutcome> unmountAnswers;
};

VolumeDescriptor remoteRow(const QString &scheme, const QString &mountPoint)
{
    VolumeDescriptor d;
    d.volumeType = VolumeType::Remote;
    d.scheme = scheme;
    d.user = QStringLiteral("ann");
    d.host = QStringLiteral("127.0.0.1");
    d.path = QStringLiteral("/share");
    d.mountPoint = mountPoint;
    return d;
}

QVariantMap sessionOf(const QList<VolumeDescriptor> &rows, bool on = true)
{
    QVariantList list = AutoMountList::defaultRows();
    for (int i = 0; i < rows.size(); ++i)
        list[i] = rows[i].toRecord();
    return {{QStringLiteral("autoMountVolumeOn"), on ? 1 : 0},
            {QStringLiteral("autoMountVolumeArray"), list}};
}

// "/proc" is mounted on every Linux system: a row naming it counts as mounted.
const QString kMountedPoint = QStringLiteral("/proc");
const QString kNotMounted = QDir::tempPath() + QStringLiteral("/qm-not-a-mount");

class MountRules : public ::testing::Test {
protected:
    std::shared_ptr<ScriptedMounter> mounter = std::make_shared<ScriptedMounter>();
    int probeAnswer = 0;
    QStringList probed;
    VolumeUtilities volumes {mounter, [this](const QString &host) {
                                 probed << host;
                                 return probeAnswer;
                             }};
    AutoMountList list {volumes};
    void SetUp() override { volumes.setRetryPauseMs(0); }
};

} // namespace

TEST_F(MountRules, AnUnreachableHostIsReportedWithoutTryingToMount)
{
    const std::pair<int, QString> cases[] = {
        {2, QStringLiteral("Can't mount the volume. Unable to lookup the host address.")},
        {6, QStringLiteral("Can't mount the volume. No answer from the host.")}};
    for (const auto &[code, message] : cases) {
        probeAnswer = code;
        const auto o = list.TryOneMount(remoteRow("smb", kNotMounted).toRecord(), "ann", "secret");
        ASSERT_TRUE(o.has_value());
        EXPECT_EQ(o->status, code);
        EXPECT_EQ(o->message, message);
    }
    EXPECT_EQ(mounter->mounts, 0);
    EXPECT_EQ(probed, (QStringList {"127.0.0.1", "127.0.0.1"}));
}

TEST_F(MountRules, AToolsWordIsNotEnoughToCountAsMounted)
{
    const auto o = list.TryOneMount(remoteRow("smb", kNotMounted).toRecord(), "ann", "secret");
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(mounter->mounts, 1);
    EXPECT_NE(o->status, 0);
    EXPECT_TRUE(o->message.contains(QStringLiteral("not mounted"))) << o->message.toStdString();
    // The mounter gets the password apart from the URL it is given.
    EXPECT_EQ(mounter->lastRequest.password, QStringLiteral("secret"));
    EXPECT_TRUE(mounter->lastRequest.url.password().isEmpty());
    EXPECT_EQ(mounter->lastRequest.url.userName(), QStringLiteral("ann"));
}

TEST_F(MountRules, TryOneMountNeedsAFullRowAndKnowsMountedShares)
{
    VolumeDescriptor row = remoteRow("smb", kMountedPoint);
    EXPECT_FALSE(list.TryOneMount(row.toRecord(), QString(), "pw1").has_value())
        << "no user name: nothing happens";
    QVariantMap noPath = row.toRecord();
    noPath.remove(QStringLiteral("path"));
    EXPECT_FALSE(list.TryOneMount(noPath, "ann", "pw1").has_value());
    const auto o = list.TryOneMount(row.toRecord(), "ann", "pw1");
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->message, QStringLiteral("The volume is already mounted."));
    EXPECT_EQ(mounter->mounts, 0);

    row.volumeType = VolumeType::LocalDisk; // no diskID key
    const auto noDisk = list.TryOneMount(row.toRecord(), "ann", {});
    ASSERT_TRUE(noDisk.has_value());
    EXPECT_EQ(noDisk->status, -1);
    EXPECT_EQ(noDisk->message, QStringLiteral("Can't mount the volume. Err -1."));
}

// The tools' own words pick the status and are passed on to the user.
TEST_F(MountRules, ToolMessagesGiveTheStatusAndFollowTheText)
{
    EXPECT_EQ(AutoMountList::MessageForMountStatus(0), QString());
    EXPECT_EQ(AutoMountList::MessageForMountStatus(-128, "cancelled"), QString()) << "a cancel is no error";
    EXPECT_EQ(AutoMountList::MessageForMountStatus(-5023, "mount error(13): Permission denied"),
              QStringLiteral("Can't mount the volume. User or password not authorized.\r"
                             "mount error(13): Permission denied"));
    EXPECT_EQ(Mounter::mountFailureStatus("mount error(13): Permission denied"), -5023);
    EXPECT_EQ(Mounter::mountFailureStatus("mount error(113): could not connect: No route to host"), -1069);
    EXPECT_EQ(Mounter::unmountFailureStatus("umount: /mnt/x: target is busy."), -47);
}

TEST_F(MountRules, BusyFtpAndHttpVolumesCountAsUnmountedOthersDoNot)
{
    const struct {
        const char *scheme;
        VolumeType type;
        QList<MountOutcome> answers;
        bool done;
        int attempts, status;
    } cases[] = {
        {"ftp", VolumeType::Remote, {MountOutcome::failure(-47, "busy")}, true, 1, -47},
        // http gets one more attempt after the pause.
        {"http", VolumeType::Remote, {MountOutcome::failure(-36, "io"), MountOutcome::failure(-36, "io")}, false, 2, -36},
        {"smb", VolumeType::Remote, {MountOutcome::failure(-47, "busy")}, false, 1, -47},
        // A tool that says "done" while the volume stays mounted is not believed.
        {"smb", VolumeType::Remote, {MountOutcome()}, false, 1, -47},
        {"smb", VolumeType(4), {}, false, 0, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.scheme);
        mounter->unmounts = 0;
        mounter->unmountAnswers = c.answers;
        VolumeDescriptor row = remoteRow(c.scheme, kMountedPoint);
        row.volumeType = c.type;
        const UnmountOutcome u = volumes.UnmountVolume(row);
        EXPECT_EQ(u.done, c.done);
        EXPECT_EQ(u.status, c.status);
        EXPECT_EQ(mounter->unmounts, c.attempts);
    }
}

TEST_F(MountRules, SessionListsSkipWhatTheyNeedNotTouch)
{
    VolumeDescriptor off = remoteRow("nfs", "/nowhere/a");
    off.onOff = 0;
    VolumeDescriptor disk = remoteRow("file", "/nowhere/b");
    disk.volumeType = VolumeType::LocalDisk; // no diskID: skipped
    const SessionVolumesReport r =
        list.MountAllVolumesForSession(sessionOf({remoteRow("smb", kMountedPoint), off, disk}), {});
    EXPECT_EQ(r.errorCount, 0);
    EXPECT_TRUE(r.errorText.isEmpty());
    const SessionVolumesReport none =
        list.MountAllVolumesForSession(sessionOf({remoteRow("smb", "/nowhere/c")}, false), {});
    EXPECT_EQ(none.errorCount, 0);
    EXPECT_EQ(mounter->mounts, 0) << "nothing to mount, or the list's switch is off";
}

TEST_F(MountRules, SessionFailuresAreCountedWithTheirAddressesAndStatus)
{
    mounter->mountAnswer = MountOutcome::failure(-5023, "Permission denied");
    VolumeDescriptor b = remoteRow("nfs", "/nowhere/b");
    b.password = PasswordCodec::SetWellData("pw-b");
    const SessionVolumesReport r =
        list.MountAllVolumesForSession(sessionOf({remoteRow("smb", "/nowhere/a"), b}), {});
    EXPECT_EQ(r.errorCount, 2);
    EXPECT_EQ(r.errorText, QStringLiteral("Can't mount the volumes:\r\"smb://127.0.0.1/share\"\r"
                                          "Permission denied\r\"nfs://127.0.0.1/share\"\r"
                                          "Permission denied"));
    EXPECT_EQ(r.cannotMountPoints, (QStringList {"/nowhere/a", "/nowhere/b"}));
    EXPECT_EQ(mounter->lastRequest.password, QStringLiteral("pw-b")) << "the stored password, decoded";

    mounter->unmountAnswers = {MountOutcome::failure(-47, "target is busy")};
    const SessionVolumesReport u =
        list.UnmountAllVolumesForSession(sessionOf({remoteRow("smb", kMountedPoint)}), {});
    EXPECT_EQ(u.errorCount, 1);
    EXPECT_EQ(u.errorText, QStringLiteral("Can't unmount the volumes:\r\"smb://127.0.0.1/share\". "
                                          "Error: -47\rtarget is busy"));

    VolumeDescriptor keep = remoteRow("smb", kMountedPoint);
    keep.unmountVolume = 0;
    mounter->unmounts = 0;
    list.UnmountAllVolumesForSession(sessionOf({keep}), {});
    EXPECT_EQ(mounter->unmounts, 0) << "a volume not marked for unmounting stays";
}

TEST_F(MountRules, FailedMountPointsMatchAsPlainPrefixes)
{
    const QStringList failed = {"/mnt/Share"};
    EXPECT_TRUE(AutoMountList::IsOnUmountedVolume(failed, "/mnt/Share/docs"));
    EXPECT_TRUE(AutoMountList::IsOnUmountedVolume(failed, "/mnt/Share2/docs"));
    EXPECT_FALSE(AutoMountList::IsOnUmountedVolume(failed, "/mnt/Other"));
    EXPECT_FALSE(AutoMountList::IsOnUmountedVolume({}, "/mnt/Share"));
}

// ---- the real system mounter with a stand-in tool --------------------------

namespace {

const char kStandIn[] = R"(#!/bin/sh
# Records how it was called, then looks for the password in every command line.
out="$QM_STANDIN_OUT"
printf '%s\n' "$@" > "$out.args"
for a in "$@"; do
  case "$a" in credentials=*)
    f="${a#credentials=}"; stat -c %a "$f" > "$out.mode"; cat "$f" > "$out.cred"; echo "$f" > "$out.credpath";;
  esac
done
cat > "$out.stdin"
if grep -lsaF -f "$QM_STANDIN_PATTERN" /proc/[0-9]*/cmdline | grep -q .; then
  echo 1 > "$out.found"
else
  echo 0 > "$out.found"
fi
echo "mount error(13): Permission denied" >&2
exit 32
)";

class StandInTools : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "the system mounter is used with root rights only";
        ASSERT_TRUE(m_dir.isValid());
        const QString bin = m_dir.filePath("bin");
        QDir().mkpath(bin);
        for (const char *name : {"/mount", "/sshfs"}) {
            ASSERT_TRUE(qmtest::writeBytes(bin + name, kStandIn));
            QFile::setPermissions(bin + name, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::WriteOwner);
        }
        ASSERT_TRUE(qmtest::writeBytes(m_dir.filePath("pattern"), kSecret));
        m_oldPath = qgetenv("PATH");
        qputenv("PATH", bin.toUtf8() + ':' + m_oldPath);
        qputenv("QM_STANDIN_OUT", m_dir.filePath("out").toUtf8());
        qputenv("QM_STANDIN_PATTERN", m_dir.filePath("pattern").toUtf8());
    }
    void TearDown() override
    {
        if (!m_oldPath.isNull())
            qputenv("PATH", m_oldPath);
    }
    QString recorded(const char *what) const
    {
        QFile f(m_dir.filePath("out.") + QLatin1String(what));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<none>");
    }

    static constexpr char kSecret[] = "S3cr3t@:pw";
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};

} // namespace

TEST_F(StandInTools, SmbPasswordTravelsInAPrivateFileThatIsRemovedAfterwards)
{
    VolumeUtilities volumes(std::make_shared<RootMounter>(), &IcmpProbe::PingHost);
    VolumeDescriptor row = remoteRow("smb", m_dir.filePath("mnt"));
    row.password = PasswordCodec::SetWellData(QString::fromLatin1(kSecret));
    const SessionVolumesReport r = AutoMountList(volumes).MountAllVolumesForSession(sessionOf({row}), {});
    if (recorded("args") == QStringLiteral("<none>"))
        GTEST_SKIP() << "the mount was not attempted: " << r.errorText.toStdString();
    EXPECT_EQ(recorded("found"), QStringLiteral("0\n")) << "the password was on a command line";
    EXPECT_EQ(recorded("mode"), QStringLiteral("600\n"));
    EXPECT_EQ(recorded("cred"), QStringLiteral("username=ann\npassword=") + kSecret + u'\n');
    EXPECT_FALSE(QFile::exists(recorded("credpath").trimmed())) << "credentials file left behind";
    EXPECT_TRUE(recorded("args").startsWith(QStringLiteral("-t\ncifs\n//127.0.0.1/share\n")));
    EXPECT_FALSE(recorded("args").contains(QLatin1String(kSecret)));
    EXPECT_EQ(r.errorCount, 1);
    EXPECT_TRUE(r.errorText.endsWith(QStringLiteral("mount error(13): Permission denied")));
    EXPECT_FALSE(r.errorText.contains(QLatin1String(kSecret)));
    EXPECT_FALSE(MountTable::read().isMountPoint(row.mountPoint));
}

TEST_F(StandInTools, SshPasswordTravelsOnStandardInput)
{
    VolumeUtilities volumes(std::make_shared<RootMounter>(), [](const QString &) { return 0; });
    VolumeDescriptor row = remoteRow("sftp", m_dir.filePath("mnt"));
    const MountOutcome o = volumes.MountTheRemoteVolumeWithDict(row, QString::fromLatin1(kSecret));
    EXPECT_EQ(o.status, -5023);
    EXPECT_EQ(recorded("stdin"), QString::fromLatin1(kSecret) + u'\n');
    EXPECT_EQ(recorded("found"), QStringLiteral("0\n"));
    EXPECT_EQ(recorded("args"), QStringLiteral("ann@127.0.0.1:/share\n") + row.mountPoint
                                    + QStringLiteral("\n-o\npassword_stdin\n"));
}
