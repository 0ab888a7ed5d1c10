#include "platform/Status.h"

#include <cerrno>

namespace qm {

OSStatus statusFromErrno(int err)
{
    using namespace Status;
    switch (err) {
    case 0: return noErr;
    case ENOENT: return fnfErr;
    case ENOTDIR: return dirNFErr;
    case EACCES:
    case EPERM: return afpAccessDenied; // EPERM is what an immutable item gives
    case EBUSY:
    case ETXTBSY:
    case ENOTEMPTY: return fBsyErr;
    case EEXIST: return dupFNErr;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return dskFulErr;
    case ENAMETOOLONG:
    case EILSEQ: return bdNamErr;
    case EINVAL:
    case EFAULT: return paramErr;
    case EROFS: return vLckdErr;
    case ENOMEM: return memFullErr;
    case EXDEV: return badMovErr;
    case EMFILE:
    case ENFILE: return tmfoErr;
    case EBADF: return rfNumErr;
    case EISDIR: return notAFileErr;
    case ENODEV:
    case ENXIO: return nsvErr;
    case ENOTSUP: return errFSOperationNotSupported; // ENOTSUP == EOPNOTSUPP here
    case ENODATA: return errFSAttributeNotFound;
    case E2BIG:
    case ERANGE: return errFSAttributeTooBig;
    case EMLINK: return dirFulErr;
    case ECANCELED: return userCanceledErr;
    default: return ioErr;
    }
}

QString statusName(OSStatus status)
{
    using namespace Status;
    switch (status) {
    case noErr: return QStringLiteral("no error");
    case dirFulErr: return QStringLiteral("folder full");
    case dskFulErr: return QStringLiteral("disk full");
    case nsvErr: return QStringLiteral("no such volume");
    case ioErr: return QStringLiteral("I/O error");
    case bdNamErr: return QStringLiteral("bad name");
    case tmfoErr: return QStringLiteral("too many files open");
    case fnfErr: return QStringLiteral("not found");
    case fLckdErr: return QStringLiteral("locked");
    case vLckdErr: return QStringLiteral("volume read-only");
    case fBsyErr: return QStringLiteral("busy");
    case dupFNErr: return QStringLiteral("duplicate name");
    case paramErr: return QStringLiteral("bad argument");
    case memFullErr: return QStringLiteral("out of memory");
    case dirNFErr: return QStringLiteral("folder not found");
    case badMovErr: return QStringLiteral("cross-volume move");
    case userCanceledErr: return QStringLiteral("cancelled");
    case notAFileErr: return QStringLiteral("not a file");
    case errFSNotAFolder: return QStringLiteral("not a folder");
    case errFSOperationNotSupported: return QStringLiteral("not supported by the file system");
    case errFSAttributeNotFound: return QStringLiteral("attribute not found");
    case errFSAttributeTooBig: return QStringLiteral("attribute too big");
    case kCopyIntoItselfErr: return QStringLiteral("copy into itself");
    case kSizeMismatchErr: return QStringLiteral("size mismatch");
    case afpAccessDenied: return QStringLiteral("access denied");
    default: return QStringLiteral("status %1").arg(status);
    }
}

} // namespace qm
