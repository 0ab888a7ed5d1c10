#pragma once
// Platform status codes. The catalog numbering is kept so that every module,
// the log and the user's messages agree on one number per failure: 0 is
// success, every failure is negative and fits in 16 bits, except the
// authorization cancel code which comes from a wider table.
#include <QString>
#include <cstdint>

namespace qm {

using OSStatus = int32_t;

namespace Status {
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus dirFulErr = -33;        // folder full
inline constexpr OSStatus dskFulErr = -34;        // disk full (also quota exceeded)
inline constexpr OSStatus nsvErr = -35;           // no such volume
inline constexpr OSStatus ioErr = -36;            // I/O error
inline constexpr OSStatus bdNamErr = -37;         // bad item name
inline constexpr OSStatus fnOpnErr = -38;         // file not open
inline constexpr OSStatus eofErr = -39;           // end of file
inline constexpr OSStatus posErr = -40;           // position before start of file
inline constexpr OSStatus tmfoErr = -42;          // too many files open
inline constexpr OSStatus fnfErr = -43;           // item not found
inline constexpr OSStatus wPrErr = -44;           // volume write-protected (hardware)
inline constexpr OSStatus fLckdErr = -45;         // item locked
inline constexpr OSStatus vLckdErr = -46;         // volume locked (read-only)
inline constexpr OSStatus fBsyErr = -47;          // item busy, or folder not empty
inline constexpr OSStatus dupFNErr = -48;         // an item of that name exists
inline constexpr OSStatus paramErr = -50;         // bad or missing argument
inline constexpr OSStatus rfNumErr = -51;         // bad file handle
inline constexpr OSStatus permErr = -54;          // permission refused on open
inline constexpr OSStatus wrPermErr = -61;        // write permission refused
inline constexpr OSStatus memFullErr = -108;      // out of memory
inline constexpr OSStatus dirNFErr = -120;        // a folder of the path is missing
inline constexpr OSStatus badMovErr = -122;       // move across volumes
inline constexpr OSStatus userCanceledErr = -128; // the user cancelled
inline constexpr OSStatus notAFileErr = -1302;    // a folder where a file was expected
inline constexpr OSStatus errFSNotAFolder = -1407;     // destination is not a folder
inline constexpr OSStatus errFSNameTooLong = -1410;
inline constexpr OSStatus errFSNoMoreItems = -1417;
inline constexpr OSStatus errFSForkExists = -1421;
inline constexpr OSStatus errFSOperationNotSupported = -1426; // the file system refuses
inline constexpr OSStatus errFSAttributeNotFound = -1427;
inline constexpr OSStatus errFSAttributeTooBig = -1429;        // refused for its size
inline constexpr OSStatus kNoServersErr = -1069;       // no server at that address
inline constexpr OSStatus kCopyIntoItselfErr = -1234;  // destination lies inside the source
inline constexpr OSStatus kSizeMismatchErr = -2206;    // copy's size differs from the source
inline constexpr OSStatus afpAccessDenied = -5000;     // access denied
inline constexpr OSStatus afpUserNotAuth = -5023;      // user or password not accepted
inline constexpr OSStatus afpAlreadyMounted = -5062;   // the volume is mounted already
inline constexpr OSStatus errAuthorizationCanceled = -60006;
} // namespace Status

// The status for an errno value (0 gives noErr; an unknown errno gives ioErr).
OSStatus statusFromErrno(int err);

// A short English name for a status, for diagnostics (not for the user).
QString statusName(OSStatus status);

} // namespace qm
