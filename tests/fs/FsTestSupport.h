#pragma once
// Real folders, files, attributes and mounts for the file-system tests.
#include "fs/CatalogInfo.h"
#include "support/Files.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace qmtest {

// A temporary folder on the disk (not a tmpfs), removed afterwards even when
// the test left locked items in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString &rel) const { return path() + '/' + rel; }

private:
    QTemporaryDir m_dir;
};

// A small tmpfs mounted for the life of the object (root only).
class TmpfsMount {
public:
    TmpfsMount(const QString &where, const QByteArray &size);
    ~TmpfsMount();
    bool isMounted() const { return m_mounted; }
    QString path() const { return m_where; }

private:
    QString m_where;
    bool m_mounted = false;
};

QByteArray enc(const QString &p);
inline void writeFile(const QString &path, const QByteArray &content) { writeBytes(path, content); }
inline QByteArray readFile(const QString &path) { return bytesOf(path); }
// Deterministic bytes of the given size.
QByteArray pattern(qsizetype size, int seed);
bool setAttr(const QString &path, const char *name, const QByteArray &value);
QByteArray getAttr(const QString &path, const char *name);
void lock(const QString &path, bool on);
bool isImmutable(const QString &path);
// Every name in the folder, sorted.
QStringList entries(const QString &folder);
bool canMountTmpfs();
bool canSetImmutable(const QString &folder);

// Runs fn in a child process under uid/gid (after setgroups to none) and
// answers its result; -1 when the child could not be made.
int runAsUser(uid_t uid, gid_t gid, const std::function<int()> &fn);

} // namespace qmtest
