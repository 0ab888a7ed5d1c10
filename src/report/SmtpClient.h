#pragma once
// A small blocking SMTP client for one message: EHLO, optional STARTTLS or
// TLS from the start, AUTH PLAIN or LOGIN, MAIL, RCPT, DATA, QUIT.
#include "platform/ByteSink.h"

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>

namespace qm {

enum class SmtpSecurity { None = 0, StartTls = 1, Tls = 2 };

struct SmtpSettings {
    QString host;
    int port = 587;
    SmtpSecurity security = SmtpSecurity::StartTls;
    QString user; // empty: no authentication
    QString password;
    int timeoutMs = 30000; // for each step
    // Trusted in addition to the system's certificates (a private CA).
    QList<QSslCertificate> extraCaCertificates;
};

class SmtpClient {
public:
    explicit SmtpClient(SmtpSettings settings) : m_settings(std::move(settings)) {}

    // Sends one message (lines ending in "\r\n"), made as it is sent so that
    // it is never held whole; true only when the server accepted it after the
    // final ".". errorString() says what went wrong.
    bool send(const QString &from, const QString &to, const ByteProducer &message);
    QString errorString() const { return m_error; }

private:
    SmtpSettings m_settings;
    QString m_error;
};

} // namespace qm
