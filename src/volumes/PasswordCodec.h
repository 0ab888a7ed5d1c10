#pragma once
// The stored form of volume passwords. It only keeps a password from being
// readable at a glance in a document; it is not encryption, which is why
// documents holding one are written with owner-only permissions.
#include <QByteArray>
#include <QString>

namespace qm {

class PasswordCodec {
public:
    // Text -> stored bytes. Empty text gives empty data. A random digit is put
    // in front so that equal passwords are not always stored alike.
    static QByteArray SetWellData(const QString &password);
    // Stored bytes -> text. A result of one or two characters counts as no
    // password and gives "".
    static QString GetWellData(const QByteArray &data);

    // The encoding with a chosen leading digit, for tests of the exact bytes.
    static QByteArray encodeWithLead(const QString &password, char leadDigit);
};

} // namespace qm
