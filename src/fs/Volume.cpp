#include "fs/Volume.h"
#include "platform/FileName.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <vector>
#include <poll.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace qm {

namespace {

// mountinfo escapes blanks and a few other bytes as \ooo.
QString unescape(const QByteArray &field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int v = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(v));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return fromNativeName(out);
}

bool statNearest(const QString &path, struct stat *st, QString *existing)
{
    QString p = path;
    for (int i = 0; i < 4096 && !p.isEmpty(); ++i) {
        if (::stat(nativeName(p).constData(), st) == 0) {
            *existing = p;
            return true;
        }
        const QString parent = QFileInfo(p).path();
        if (parent == p)
            break;
        p = parent;
    }
    return false;
}

} // namespace

bool isRemoteFsType(const QString &t)
{
    static const QStringList remote = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs",
                                       "coda", "9p", "ceph", "glusterfs", "davfs", "lustre",
                                       "fuse.sshfs", "fuse.gvfsd-fuse", "fuse.rclone", "fuse.s3fs"};
    return remote.contains(t);
}

bool VolumeInfo::isRemote() const
{
    return isRemoteFsType(fsType);
}

namespace {

QByteArray readWhole(int fd)
{
    QByteArray all;
    char buf[16384];
    ::lseek(fd, 0, SEEK_SET);
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? QByteArray() : all;
        all.append(buf, n);
    }
}

// One row of the mount table is the volume it mounts.
using MountRow = VolumeInfo;

std::vector<MountRow> parseTable(const QByteArray &all)
{
    std::vector<MountRow> rows;
    for (const QByteArray &line : all.split('\n')) {
        // id parent major:minor root mountpoint options ... - fstype source superoptions
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 0 || dash + 2 >= fields.size())
            continue;
        const QList<QByteArray> mm = fields[2].split(':');
        if (mm.size() != 2)
            continue;
        rows.push_back({unescape(fields[4]), QString::fromUtf8(fields[dash + 1]),
                        unescape(fields[dash + 2]), makedev(mm[0].toUInt(), mm[1].toUInt())});
    }
    return rows;
}

// How old the last look at the mount table may be for a question asked
// once per item of a run.
constexpr std::chrono::milliseconds kItemTableAge{100};

// The mount table, read and parsed again only when it changed: the kernel
// marks an open mountinfo file with a priority event at every mount and
// unmount, so the copy is never stale and is not re-read per item. A caller
// that asks per item may take a look made within kItemTableAge instead of
// asking the kernel again. Callers get a snapshot they may keep while the
// table changes under them.
std::shared_ptr<const std::vector<MountRow>> mountTable(bool perItem = false)
{
    static std::mutex mutex;
    static int fd = -1;
    static std::shared_ptr<const std::vector<MountRow>> cached;
    static std::chrono::steady_clock::time_point lastLook;
    const std::lock_guard<std::mutex> lock(mutex);
    const auto now = std::chrono::steady_clock::now();
    if (fd < 0) {
        fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        cached = std::make_shared<const std::vector<MountRow>>(parseTable(readWhole(fd)));
        lastLook = now;
        return cached;
    }
    if (perItem && cached && !cached->empty() && now - lastLook < kItemTableAge)
        return cached;
    pollfd p{fd, POLLPRI, 0};
    if (!cached || cached->empty() || (::poll(&p, 1, 0) > 0 && (p.revents & (POLLERR | POLLPRI))))
        cached = std::make_shared<const std::vector<MountRow>>(parseTable(readWhole(fd)));
    lastLook = now;
    return cached;
}

} // namespace

VolumeInfo volumeForPath(const QString &path)
{
    struct stat st;
    QString existing;
    if (!statNearest(path, &st, &existing))
        return {};
    const auto table = mountTable();
    if (!table)
        return {};
    const MountRow *best = nullptr;
    const MountRow *anyOfDevice = nullptr;
    for (const MountRow &row : *table) {
        if (row.device != st.st_dev)
            continue;
        if (!anyOfDevice)
            anyOfDevice = &row;
        // Several mounts may share a device (bind mounts): keep the longest
        // mount point that is a prefix of the path.
        const QString &mp = row.mountPoint;
        const bool prefix = mp == QLatin1String("/") || existing == mp ||
                            (existing.startsWith(mp) && existing.at(mp.size()) == u'/');
        if (prefix && (!best || mp.size() >= best->mountPoint.size()))
            best = &row;
    }
    if (best)
        return *best;
    return anyOfDevice ? *anyOfDevice : VolumeInfo();
}

bool isRemoteDevice(uint64_t device)
{
    const auto table = mountTable(true);
    if (!table)
        return false;
    // Bind mounts of one device share its file-system type.
    for (const MountRow &row : *table) {
        if (row.device == device)
            return isRemoteFsType(row.fsType);
    }
    return false;
}

} // namespace qm
