#pragma once
// The hardware address printed in the log header.
#include <QString>

namespace qm {

// "00:1a:2b:3c:4d:5e" (any separator, any case) as "00.1A.2B.3C.4D.5E".
// Anything that is not six bytes gives six zero bytes, as an interface
// without an address does.
QString formatHardwareAddress(const QString &address);

// The address of the first interface that is not the loopback and has a
// hardware address, formatted as above; empty when there is none.
QString primaryHardwareAddress();

} // namespace qm
