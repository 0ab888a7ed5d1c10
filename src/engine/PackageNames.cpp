#include "engine/PackageNames.h"
#include <array>
#include <string_view>

namespace qm {

bool isPackageName(const QByteArray &name)
{
    static constexpr std::array<std::string_view, 12> kExtensions = {
        ".app", ".bundle", ".framework", ".plugin", ".kext", ".pkg",
        ".mpkg", ".rtfd", ".xcodeproj", ".component", ".qlgenerator", ".wdgt"};
    const std::string_view n(name.constData(), size_t(name.size()));
    for (std::string_view ext : kExtensions) {
        if (n.size() > ext.size() && n.compare(n.size() - ext.size(), ext.size(), ext) == 0)
            return true;
    }
    return false;
}

} // namespace qm
