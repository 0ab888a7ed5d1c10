#pragma once
// Moving an item to the desktop's trash (the freedesktop.org Trash
// specification): the home trash for items on the home folder's volume,
// the volume's own ".Trash/$uid" or ".Trash-$uid" elsewhere. Works on the
// item's exact bytes, so any name can be trashed and restored.
#include "platform/Status.h"

#include <QString>

namespace qm {

OSStatus moveToTrash(const QString &path);

} // namespace qm
