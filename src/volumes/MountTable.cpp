#include "volumes/MountTable.h"

#include <QFile>

namespace qm {

QString MountEntry::superOption(const QString &name) const
{
    const QString prefix = name + u'=';
    for (const QString &option : superOptions.split(u',')) {
        if (option.startsWith(prefix))
            return option.mid(prefix.size());
    }
    return {};
}

QString unescapeMountField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int code = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QString::fromUtf8(out);
}

MountTable MountTable::read()
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
}

MountTable MountTable::parse(const QByteArray &mountinfo)
{
    // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw"
    MountTable table;
    for (const QByteArray &line : mountinfo.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        const int dash = int(f.indexOf(QByteArray("-")));
        if (f.size() < 6 || dash < 6 || dash + 3 > f.size())
            continue;
        MountEntry e;
        e.mountId = f[0].toInt();
        const QList<QByteArray> dev = f[2].split(':');
        if (dev.size() == 2) {
            e.major = dev[0].toUInt();
            e.minor = dev[1].toUInt();
        }
        e.root = unescapeMountField(f[3]);
        e.mountPoint = unescapeMountField(f[4]);
        e.mountOptions = QString::fromUtf8(f[5]);
        e.fsType = unescapeMountField(f[dash + 1]);
        e.source = unescapeMountField(f[dash + 2]);
        if (dash + 3 < f.size())
            e.superOptions = unescapeMountField(f[dash + 3]);
        table.m_entries.append(e);
    }
    return table;
}

static bool isLeadingPart(const QString &mountPoint, const QString &path)
{
    if (mountPoint == QLatin1String("/"))
        return path.startsWith(u'/');
    return path == mountPoint
        || (path.startsWith(mountPoint) && path.at(mountPoint.size()) == u'/');
}

MountEntry MountTable::entryForPath(const QString &absolutePath) const
{
    MountEntry best;
    for (const MountEntry &e : m_entries) {
        if (isLeadingPart(e.mountPoint, absolutePath)
            && e.mountPoint.size() >= best.mountPoint.size())
            best = e;
    }
    return best;
}

MountEntry MountTable::entryAt(const QString &mountPoint) const
{
    MountEntry found;
    for (const MountEntry &e : m_entries) {
        if (e.mountPoint == mountPoint)
            found = e;
    }
    return found;
}

QList<MountEntry> MountTable::entriesWithSource(const QString &source) const
{
    QList<MountEntry> list;
    for (const MountEntry &e : m_entries) {
        if (e.source == source)
            list.append(e);
    }
    return list;
}

} // namespace qm
