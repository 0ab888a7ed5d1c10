#pragma once
// The program's own files (preferences, documents, indexes, logs) belong to
// the person who runs it, also while the program runs set-user-id root:
// written with root's rights they would end up owned by root in the user's
// home, and a planted link in that home would let the user aim root's
// writes at any file of the system.
//
// While an OwnFilesAccess lives, the calling thread opens and creates files
// with the real user's ids (the file-system ids are per thread on Linux);
// outside a set-user-id process it does nothing.
#include <sys/types.h>

namespace qm {

class OwnFilesAccess {
public:
    OwnFilesAccess();
    ~OwnFilesAccess();
    OwnFilesAccess(const OwnFilesAccess &) = delete;
    OwnFilesAccess &operator=(const OwnFilesAccess &) = delete;

    // The process runs with an effective user other than its real one.
    static bool isSetUserId();

private:
    bool m_switched = false;
    uid_t m_oldUid = 0;
    gid_t m_oldGid = 0;
};

} // namespace qm
