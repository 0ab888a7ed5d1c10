#include "volumes/PasswordCodec.h"

#include <QRandomGenerator>
#include <array>

namespace qm {
namespace {

// Fixed for ever: documents written with other values read their passwords
// back as different text.
constexpr std::array<quint8, 19> kTable = {0x5b, 0xc4, 0x17, 0x8e, 0x33, 0xf0, 0x69,
                                           0x0d, 0xa2, 0x4c, 0xd7, 0x21, 0x98, 0x7f,
                                           0xe5, 0x3a, 0xb1, 0x06, 0x6c};
constexpr quint8 kStartByte = 0xa7;

} // namespace

QByteArray PasswordCodec::encodeWithLead(const QString &password, char leadDigit)
{
    if (password.isEmpty())
        return {};
    QByteArray bytes = QByteArray(1, leadDigit) + password.toUtf8();
    quint8 p = kStartByte;
    for (int i = 0; i < bytes.size(); ++i) {
        const quint8 plain = quint8(bytes[i]);
        bytes[i] = char(quint8(plain + kTable[size_t(i) % kTable.size()] + p + i));
        p = plain;
    }
    return bytes;
}

QByteArray PasswordCodec::SetWellData(const QString &password)
{
    const int random = int(QRandomGenerator::global()->bounded(255)); // 0 .. 254
    const char lead = QString::number(random).at(0).toLatin1();
    return encodeWithLead(password, lead);
}

QString PasswordCodec::GetWellData(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    QByteArray bytes = data;
    quint8 p = kStartByte;
    for (int i = 0; i < bytes.size(); ++i) {
        const quint8 plain = quint8(quint8(bytes[i]) - kTable[size_t(i) % kTable.size()] - p - i);
        bytes[i] = char(plain);
        p = plain;
    }
    const QString text = QString::fromUtf8(bytes.mid(1));
    if (text.size() == 1 || text.size() == 2)
        return {};
    return text;
}

} // namespace qm
