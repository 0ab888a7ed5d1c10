#pragma once
// The catalog information of one item as this program sees it on Linux,
// read with one statx plus the extended attributes that hold the catalog
// fields. Cheap enough to be read for every item of a scan: an item that
// carries none of our attributes costs one statx and one listxattr.
#include "platform/CatalogDate.h"
#include "platform/Status.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <ctime>
#include <sys/stat.h>

namespace qm {

enum class ItemKind : uint8_t { Missing, File, Folder, SymLink, Special };

// Finder information: 16 bytes of (extended) file or folder information and
// 16 bytes of extended information, big-endian as the catalog stores them.
struct FinderInfo {
    std::array<uint8_t, 32> bytes{};

    static constexpr uint16_t kHasBeenInited = 0x0100;
    static constexpr uint16_t kIsInvisible = 0x4000;
    static constexpr uint16_t kIsAlias = 0x8000;

    uint32_t fileType() const { return word(0); }
    uint32_t creator() const { return word(4); }
    uint16_t flags() const { return uint16_t((bytes[8] << 8) | bytes[9]); }
    void setFileType(uint32_t t) { setWord(0, t); }
    void setCreator(uint32_t c) { setWord(4, c); }
    void setFlags(uint16_t f)
    {
        bytes[8] = uint8_t(f >> 8);
        bytes[9] = uint8_t(f);
    }
    bool isNull() const;

    QByteArray encode() const;
    // Short or missing bytes read as zero; longer ones are cut to 32.
    static FinderInfo decode(const QByteArray &raw);

    friend bool operator==(const FinderInfo &a, const FinderInfo &b) { return a.bytes == b.bytes; }

private:
    uint32_t word(int at) const
    {
        return (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16)
               | (uint32_t(bytes[at + 2]) << 8) | bytes[at + 3];
    }
    void setWord(int at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = uint8_t(v >> (24 - 8 * i));
    }
};

constexpr uint32_t fourCharCode(const char (&s)[5])
{
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16)
           | (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}
inline constexpr uint32_t kBusyFileType = fourCharCode("bzy ");

struct CatalogInfo {
    ItemKind kind = ItemKind::Missing;
    bool locked = false;          // the immutable flag
    timespec creationDate{};      // crdate attribute, else birth time, else mtime
    timespec contentModDate{};    // mtime, nanoseconds kept
    timespec attributeModDate{};  // ctime
    timespec accessDate{};        // atime
    UTCDateTime backupDate;       // null: never backed up
    uint64_t dataLogicalSize = 0;
    uint64_t dataPhysicalSize = 0;
    uint64_t rsrcLogicalSize = 0;
    uint64_t rsrcPhysicalSize = 0;
    FinderInfo finderInfo;
    uint32_t mode = 0; // st_mode: type and permission bits
    uint32_t uid = 0;
    uint32_t gid = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    uint32_t linkCount = 0;

    bool exists() const { return kind != ItemKind::Missing; }
    bool isFolder() const { return kind == ItemKind::Folder; }
    bool isSymLink() const { return kind == ItemKind::SymLink; }
    uint32_t permissions() const { return mode & 07777; }
    uint64_t totalLogicalSize() const { return dataLogicalSize + rsrcLogicalSize; }
    bool isAliasFile() const
    {
        return kind == ItemKind::File && (finderInfo.flags() & FinderInfo::kIsAlias);
    }
    UTCDateTime creationDateUTC() const { return UTCDateTime::fromTimespec(creationDate); }
    UTCDateTime contentModDateUTC() const { return UTCDateTime::fromTimespec(contentModDate); }
};

// The members that one statx gives (the creation date is the birth time when
// the file system reports one, the modification date otherwise).
void fillFromStatx(const struct statx &stx, CatalogInfo *info);
// Reads the item itself (a final link is not followed). A missing item is
// fnfErr with info->kind Missing.
OSStatus ReadCatalogInfo(const QByteArray &path, CatalogInfo *info);
OSStatus ReadCatalogInfo(const QString &path, CatalogInfo *info);
// The same without the creation and backup dates kept in attributes (the
// creation date is then the birth time): one attribute read less per item
// for callers that need only the kind, sizes, lock and Finder information.
// `raw`, when given, receives the statx the information came from.
OSStatus ReadCatalogInfoWithoutDates(const QString &path, CatalogInfo *info, struct statx *raw = nullptr);
// The same for an item about to be copied, looked up within its folder open
// as `folderFd` (O_PATH will do; -1 reads by the path) rather than along its
// whole path. A plain file is also opened for reading, not following a link,
// and its attributes are read through that descriptor, which the caller then
// owns (*fd; -1 for any other item, where it could not be opened, or with
// folderFd -1). *anyAttribute tells whether it had any extended attribute at
// all, ours or not.
OSStatus ReadCatalogInfoOpening(int folderFd, const QString &path, CatalogInfo *info, struct statx *raw,
                                int *fd, bool *anyAttribute);

// Members of the catalog information that WriteCatalogInfo can change.
enum CatInfoField : unsigned {
    kCatNodeFlags = 0x0001,    // the lock flag
    kCatCreateDate = 0x0002,
    kCatContentModDate = 0x0004,
    kCatAccessDate = 0x0008,
    kCatBackupDate = 0x0010,
    kCatPermissions = 0x0020,  // POSIX mode
    kCatOwnerGroup = 0x0040,   // uid and gid, where permitted
    kCatFinderInfo = 0x0080,
    kCatSettable = 0x00FF,
};

// Writes the chosen members to the item. A locked item is unlocked for the
// change and locked again afterwards unless the lock flag itself is written,
// which is always done last. Owner and group are changed only where the
// process may; an unprivileged refusal leaves them as they are. Symbolic
// links take dates, owner and attributes but no mode or lock. On a file
// system without extended attributes the creation and backup dates are
// left out; Finder information that cannot be kept is a failure. The first
// failure is answered.
OSStatus WriteCatalogInfo(const QByteArray &path, const CatalogInfo &info, unsigned fields);
OSStatus WriteCatalogInfo(const QString &path, const CatalogInfo &info, unsigned fields);

} // namespace qm
