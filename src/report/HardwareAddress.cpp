#include "report/HardwareAddress.h"

#include <QNetworkInterface>
#include <QStringList>

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

QString primaryHardwareAddress()
{
    // Interfaces come in index order, which is the order the kernel made
    // them in; the first real one is the machine's primary interface.
    const auto all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &ni : all) {
        if (ni.flags().testFlag(QNetworkInterface::IsLoopBack)
            || ni.type() == QNetworkInterface::Loopback || ni.type() == QNetworkInterface::Virtual)
            continue;
        if (ni.hardwareAddress().isEmpty())
            continue;
        return formatHardwareAddress(ni.hardwareAddress());
    }
    return QString();
}

} // namespace qm
