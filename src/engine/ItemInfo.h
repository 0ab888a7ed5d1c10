#pragma once
// What one lstat of an item tells the engine. The scanner reads each item
// once and hands this record on, so nobody needs to stat it again.
#include <QString>
#include <QtGlobal>
#include <optional>

namespace qm {

enum class ItemKind : quint8 {
    Missing,  // no item at the path
    Folder,   // a directory that is not a package
    Package,  // a directory the shell shows as one file
    File,     // a regular file
    SymLink,  // a symbolic link (not followed)
    Other,    // devices, sockets, pipes: never copied
};

struct ItemInfo {
    ItemKind kind = ItemKind::Missing;
    quint32 mode = 0;         // st_mode
    quint32 uid = 0, gid = 0;
    qint64 size = 0;          // data size
    qint64 mtimeSec = 0;      // content modification, seconds since 1970 UTC
    qint32 mtimeNsec = 0;
    quint64 device = 0, inode = 0;

    bool exists() const { return kind != ItemKind::Missing; }
    bool isFolder() const { return kind == ItemKind::Folder; }
    // Packages and links are copied and compared as single files.
    bool isFileLike() const
    {
        return kind == ItemKind::File || kind == ItemKind::Package || kind == ItemKind::SymLink;
    }

    // Reads the item without following a final link. A missing item (or one
    // that cannot be read) gives kind Missing.
    static ItemInfo read(const QString &path);
    static ItemInfo read(const QByteArray &nativePath);
};

} // namespace qm
