#include "report/Mail.h"

#include "platform/Messages.h"
#include "report/MailAddress.h"
#include "report/MailMessage.h"

#include <QHostInfo>
#include <QProcess>
#include <QtDebug>

#include <unistd.h>

namespace qm {

namespace {

QString loginAtHost()
{
    QString login = QString::fromLocal8Bit(qgetenv("USER"));
    if (login.isEmpty())
        login = QString::fromLocal8Bit(qgetenv("LOGNAME"));
    if (login.isEmpty())
        login = QStringLiteral("quillmere");
    QString host = QHostInfo::localHostName();
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    return login + u'@' + host;
}

bool sendWithSendmail(const MailSettings &s, const MailMessage &m, QString *detail)
{
    QProcess p;
    // "-t": the recipient comes from the "To" header, never from an argument;
    // "-oi": a line holding a single "." does not end the message.
    p.start(s.sendmailPath, {QStringLiteral("-t"), QStringLiteral("-oi")});
    if (!p.waitForStarted(10000)) {
        *detail = QStringLiteral("cannot start %1: %2").arg(s.sendmailPath, p.errorString());
        return false;
    }
    // In pieces, each taken before the next is made: a long log is never
    // held whole in the process's buffer.
    const bool handed = m.writeMime("\n", [&p, &s](QByteArrayView piece) {
        if (p.write(piece.data(), piece.size()) != piece.size())
            return false;
        while (p.bytesToWrite() > 0)
            if (!p.waitForBytesWritten(s.sendmailTimeoutMs))
                return false;
        return true;
    });
    p.closeWriteChannel();
    if (!p.waitForFinished(s.sendmailTimeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        *detail = QStringLiteral("%1 did not finish").arg(s.sendmailPath);
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *detail = QStringLiteral("%1 refused the message (exit status %2): %3")
                      .arg(s.sendmailPath)
                      .arg(p.exitCode())
                      .arg(QString::fromLocal8Bit(p.readAllStandardError()).trimmed());
        return false;
    }
    // A program that stopped reading but said nothing has not had the log.
    if (!handed) {
        *detail = QStringLiteral("%1 did not take the whole message").arg(s.sendmailPath);
        return false;
    }
    return true;
}

MailResult failure(MailStatus status, const QString &detail)
{
    MailResult r;
    r.status = status;
    r.errorText = GLS("Can't send email") + u'.';
    r.detail = detail;
    qWarning().noquote() << "Log mail not sent:" << detail;
    return r;
}

} // namespace

QVariantMap mailPreferenceDefaults()
{
    return {
        {QStringLiteral("prefSendEmailTransport"), qlonglong(1)},
        {QStringLiteral("prefSendmailPath"), QStringLiteral("/usr/sbin/sendmail")},
        {QStringLiteral("prefSmtpHost"), QString()},
        {QStringLiteral("prefSmtpPort"), qlonglong(587)},
        {QStringLiteral("prefSmtpSecurity"), qlonglong(1)},
        {QStringLiteral("prefSmtpUser"), QString()},
        {QStringLiteral("prefSmtpPassword"), QString()},
        {QStringLiteral("prefSmtpFrom"), QString()},
    };
}

MailSettings MailSettings::fromPreferences(const QVariantMap &prefs)
{
    const QVariantMap d = mailPreferenceDefaults();
    auto value = [&](const char *key) {
        const QString k = QLatin1String(key);
        return prefs.contains(k) ? prefs.value(k) : d.value(k);
    };
    MailSettings s;
    s.transport = value("prefSendEmailTransport").toLongLong() == 2 ? MailTransport::Smtp : MailTransport::Sendmail;
    s.sendmailPath = value("prefSendmailPath").toString();
    if (s.sendmailPath.isEmpty())
        s.sendmailPath = d.value(QStringLiteral("prefSendmailPath")).toString();
    s.smtp.host = value("prefSmtpHost").toString();
    s.smtp.port = int(value("prefSmtpPort").toLongLong());
    const qlonglong security = value("prefSmtpSecurity").toLongLong();
    s.smtp.security = security == 0 ? SmtpSecurity::None
        : security == 2            ? SmtpSecurity::Tls
                                   : SmtpSecurity::StartTls;
    s.smtp.user = value("prefSmtpUser").toString();
    s.smtp.password = value("prefSmtpPassword").toString();
    s.from = value("prefSmtpFrom").toString();
    if (s.from.isEmpty())
        s.from = s.smtp.user.contains(u'@') ? s.smtp.user : loginAtHost();
    return s;
}

QString mailSubject(int globalError)
{
    return globalError <= 0 ? GLS("Quillmere Log Message: OK") : GLS("Quillmere Log Message: Error");
}

QString mailFailureReportLine()
{
    return QStringLiteral("\r• ") + GLS("Can't send email") + u'.';
}

MailResult SendEmailTo(const QVariantMap &prefs, int globalError, const QString &logText)
{
    return SendEmailTo(prefs, MailSettings::fromPreferences(prefs), globalError, logText);
}

MailResult SendEmailTo(const QVariantMap &prefs, const MailSettings &settings, int globalError,
                       const QString &logText)
{
    if (prefs.value(QStringLiteral("prefSendEmail")).toLongLong() == 0)
        return {};
    if (prefs.value(QStringLiteral("prefSendEmailWhen")).toLongLong() == 2 && globalError == 0)
        return {};
    const QString to = prefs.value(QStringLiteral("prefSendEmailAddress")).toString();
    if (to.isEmpty())
        return failure(MailStatus::BadAddress, QStringLiteral("no recipient address"));
    if (isMakerAddress(to))
        return failure(MailStatus::BadAddress, QStringLiteral("logs are not mailed to the maker's domain"));
    MailMessage m;
    m.to = to;
    m.subject = mailSubject(globalError);
    m.body = logText;
    // A line break in an address or the subject would start a header of its own.
    if (hasControlCharacters(to) || hasControlCharacters(m.subject))
        return failure(MailStatus::BadAddress, QStringLiteral("line break in the recipient or the subject"));

    MailResult r;
    QString detail;
    if (settings.transport == MailTransport::Sendmail) {
        if (!sendWithSendmail(settings, m, &detail))
            return failure(MailStatus::Failed, detail);
    } else {
        if (hasControlCharacters(settings.from) || settings.from.contains(u'<') || settings.from.contains(u'>')
            || to.contains(u'<') || to.contains(u'>'))
            return failure(MailStatus::BadAddress, QStringLiteral("unusable sender or recipient address"));
        m.from = settings.from;
        m.messageIdDomain = settings.from.section(u'@', -1);
        SmtpClient client(settings.smtp);
        if (!client.send(settings.from, to, [&m](const ByteSink &sink) { return m.writeMime("\r\n", sink); }))
            return failure(MailStatus::Failed, client.errorString());
    }
    r.status = MailStatus::Sent;
    return r;
}

} // namespace qm
