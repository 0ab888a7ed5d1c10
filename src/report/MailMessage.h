#pragma once
// One plain-text MIME message: the log mail.
#include "platform/ByteSink.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace qm {

struct MailMessage {
    QString to;      // written unchanged in the "To" header
    QString subject; // encoded when it is not plain ASCII
    QString body;    // lines end in "\r" or "\n"
    QString from;    // empty: no "From" header (the mail service adds one)
    QString messageIdDomain; // empty: no "Message-ID" header
    QDateTime date = QDateTime::currentDateTime();

    // The message with the given line end ("\r\n" on the wire, "\n" for a
    // local mail submission program), handed to `take` in pieces of about
    // 64 KB: a long log is never held whole a second time. The body is UTF-8,
    // quoted-printable, so no line is longer than 76 characters whatever the
    // log holds. False when `take` refused a piece.
    bool writeMime(const QByteArray &lineEnd, const ByteSink &take) const;

private:
    QByteArray headers(const QByteArray &lineEnd) const;
};

} // namespace qm
