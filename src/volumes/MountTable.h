#pragma once
// The mounted file systems as the kernel lists them in /proc/self/mountinfo.
// Read afresh for every question: the table changes under us as volumes come
// and go, and whether a volume is mounted is only ever answered from it.
#include <QList>
#include <QString>

namespace qm {

struct MountEntry {
    int mountId = 0;
    unsigned major = 0;
    unsigned minor = 0;
    QString root;         // the part of the file system mounted here
    QString mountPoint;
    QString mountOptions;
    QString fsType;
    QString source;       // "/dev/sdb1", "//server/share", "host:/export" ...
    QString superOptions; // file-system options ("username=..." for cifs)

    bool isValid() const { return !mountPoint.isEmpty(); }
    // One option of the super options ("username" -> its value), or "".
    QString superOption(const QString &name) const;
};

class MountTable {
public:
    static MountTable read(); // from /proc/self/mountinfo
    static MountTable parse(const QByteArray &mountinfo);

    const QList<MountEntry> &entries() const { return m_entries; }
    // The mount that holds an absolute path: the deepest mount point that is
    // a leading part of it (the last one listed when mounts are stacked).
    MountEntry entryForPath(const QString &absolutePath) const;
    // The topmost mount at exactly this mount point.
    MountEntry entryAt(const QString &mountPoint) const;
    bool isMountPoint(const QString &mountPoint) const { return entryAt(mountPoint).isValid(); }
    // Every mount whose source is this device or text.
    QList<MountEntry> entriesWithSource(const QString &source) const;

private:
    QList<MountEntry> m_entries;
};

// Undoes the octal escapes (\040 for a blank ...) of mountinfo fields.
QString unescapeMountField(const QByteArray &field);

} // namespace qm
