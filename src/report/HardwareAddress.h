#pragma once
// The hardware address printed in the log header.
#include <QList>
#include <QString>

namespace qm {

// "00:1a:2b:3c:4d:5e" (any separator, any case) as "00.1A.2B.3C.4D.5E".
// Anything that is not six bytes gives six zero bytes, as an interface
// without an address does.
QString formatHardwareAddress(const QString &address);

struct NetworkInterfaceFacts {
    QString name;
    QString hardwareAddress;
    bool loopback = false;
    bool physical = false; // backed by a device, not made by software
    bool up = false;
};

// The primary interface among these: not the loopback, with an address;
// a physical one before a software one, one that is up before one that is
// down, then the first by name. Null when there is none.
const NetworkInterfaceFacts *primaryInterface(const QList<NetworkInterfaceFacts> &all);

// The primary interface's address of this machine, formatted as above;
// empty when there is none.
QString primaryHardwareAddress();

} // namespace qm
