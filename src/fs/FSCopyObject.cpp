#include "fs/FSCopyObject.h"

#include <algorithm>

namespace qm {

OSStatus ObjectCopier::FSCopyObject(const QString &, const QString &, const CopyOptions &, QString *) const
{
    return Status::errFSOperationNotSupported; // being written
}

OSStatus FSDeleteObjects(const QString &)
{
    return Status::errFSOperationNotSupported;
}

uint32_t BufferSizeForSpeedGrade(int64_t grade)
{
    if (grade >= 0)
        return 262144;
    uint64_t size = uint64_t(-grade) / 2048 * 512;
    return uint32_t(std::clamp<uint64_t>(size, 1024, 2097152));
}

uint32_t BufferSizeForVol(const QString &)
{
    return BufferSizeForSpeedGrade(0);
}

} // namespace qm
