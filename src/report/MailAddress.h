#pragma once
// The recipient address of the log mail and the checks made on it.
#include <QString>

namespace qm {

// The address the preferences start with; it fails the check on purpose.
inline constexpr char kPlaceholderMailAddress[] = "your.name@your-mail.example";
// The maker's own mail domain: logs are never mailed there.
inline constexpr char kMakerMailDomain[] = "brantwick.example";

// The check made when the preferences are applied.
bool isAcceptableMailAddress(const QString &address);

// "@" directly followed by the maker's domain, in any letter case.
bool isMakerAddress(const QString &address);

// Line breaks or other control characters, which would let a text end its
// header and start another.
bool hasControlCharacters(const QString &text);

} // namespace qm
