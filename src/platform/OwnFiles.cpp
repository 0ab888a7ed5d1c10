#include "platform/OwnFiles.h"

#include <sys/fsuid.h>
#include <unistd.h>

namespace qm {

bool OwnFilesAccess::isSetUserId()
{
    return ::getuid() != ::geteuid();
}

OwnFilesAccess::OwnFilesAccess()
{
    if (!isSetUserId())
        return;
    // The group first: once the file-system user is not root any more, the
    // file-system capabilities are gone.
    m_oldGid = gid_t(::setfsgid(::getgid()));
    m_oldUid = uid_t(::setfsuid(::getuid()));
    m_switched = true;
}

OwnFilesAccess::~OwnFilesAccess()
{
    if (!m_switched)
        return;
    ::setfsuid(m_oldUid);
    ::setfsgid(m_oldGid);
}

} // namespace qm
