#include "report/HardwareAddress.h"

#include <QFileInfo>
#include <QNetworkInterface>
#include <QStringList>

#include <tuple>

namespace qm {

QString formatHardwareAddress(const QString &address)
{
    QStringList bytes;
    QString hex;
    for (QChar c : address) {
        if (c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f'))
            hex += c.toUpper();
    }
    if (hex.size() != 12)
        hex = QString(12, u'0');
    for (int i = 0; i < 12; i += 2)
        bytes << hex.mid(i, 2);
    return bytes.join(u'.');
}

const NetworkInterfaceFacts *primaryInterface(const QList<NetworkInterfaceFacts> &all)
{
    const NetworkInterfaceFacts *best = nullptr;
    auto rank = [](const NetworkInterfaceFacts &f) { return std::tuple(!f.physical, !f.up); };
    for (const NetworkInterfaceFacts &f : all) {
        if (f.loopback || f.hardwareAddress.isEmpty())
            continue;
        if (!best || rank(f) < rank(*best) || (rank(f) == rank(*best) && f.name < best->name))
            best = &f;
    }
    return best;
}

QString primaryHardwareAddress()
{
    QList<NetworkInterfaceFacts> facts;
    for (const QNetworkInterface &ni : QNetworkInterface::allInterfaces()) {
        const auto flags = ni.flags();
        facts.append({ni.name(), ni.hardwareAddress(),
                      flags.testFlag(QNetworkInterface::IsLoopBack) || ni.type() == QNetworkInterface::Loopback,
                      QFileInfo::exists(QStringLiteral("/sys/class/net/%1/device").arg(ni.name())),
                      flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning)});
    }
    const NetworkInterfaceFacts *primary = primaryInterface(facts);
    return primary ? formatHardwareAddress(primary->hardwareAddress) : QString();
}

} // namespace qm
