#pragma once
// What one read of an item tells the engine: the scanner reads each item
// once and hands this record on, so nobody needs to read it again.
#include "fs/CatalogInfo.h"

namespace qm {

using ItemInfo = CatalogInfo;

} // namespace qm
