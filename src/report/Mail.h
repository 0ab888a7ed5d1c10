#pragma once
// Mailing the run log after a run, as the preferences say: through the local
// mail submission program (sendmail interface) or straight to an SMTP server.
//
// Preference keys of the transport (defaults in mailPreferenceDefaults()):
//   prefSendEmailTransport  integer  1 = sendmail program, 2 = SMTP server
//   prefSendmailPath        string   the sendmail program, "/usr/sbin/sendmail"
//   prefSmtpHost            string   the SMTP server, "" = none
//   prefSmtpPort            integer  587
//   prefSmtpSecurity        integer  0 = none, 1 = STARTTLS (default), 2 = TLS from the start
//   prefSmtpUser            string   "" = no authentication
//   prefSmtpPassword        string   ""
//   prefSmtpFrom            string   sender address; "" = the user name, else
//                                    the login name at this host
#include "report/SmtpClient.h"

#include <QString>
#include <QVariantMap>

namespace qm {

enum class MailTransport { Sendmail = 1, Smtp = 2 };

struct MailSettings {
    MailTransport transport = MailTransport::Sendmail;
    QString sendmailPath = QStringLiteral("/usr/sbin/sendmail");
    int sendmailTimeoutMs = 60000;
    SmtpSettings smtp;
    QString from; // SMTP envelope and "From" header

    static MailSettings fromPreferences(const QVariantMap &prefs);
};

// The transport keys with their defaults, for the preferences.
QVariantMap mailPreferenceDefaults();

enum class MailStatus {
    NotNeeded,  // the preferences ask for no mail after this run
    Sent,       // the mail service accepted the message
    BadAddress, // empty, the maker's, or with line breaks: nothing was tried
    Failed,     // the mail service refused or could not be reached
};

struct MailResult {
    MailStatus status = MailStatus::NotNeeded;
    QString errorText; // "Can't send email." (looked up) unless ok()
    QString detail;    // why, for the system log
    bool ok() const { return status == MailStatus::NotNeeded || status == MailStatus::Sent; }
};

// The subject for a run with this many errors (looked up).
QString mailSubject(int globalError);

// Mails the log when the preferences ask for it. Refusals and failures are
// written to the system log; the caller adds mailFailureReportLine() to the
// end-of-run report when the result is not ok().
MailResult SendEmailTo(const QVariantMap &prefs, int globalError, const QString &logText);
MailResult SendEmailTo(const QVariantMap &prefs, const MailSettings &settings, int globalError,
                       const QString &logText);

// "\r• Can't send email." for the console's end-of-run report.
QString mailFailureReportLine();

} // namespace qm
