// Mailing the log: the decisions before anything is sent, a real SMTP
// listener on 127.0.0.1, and a sendmail stand-in that records its input.
#include "report/Mail.h"
#include "report/MailAddress.h"
#include "report/MailMessage.h"
#include "report/RunLog.h"
#include "support/Files.h"

#include "report/QStringPrinter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace qm;

namespace {

const QString kLog = QStringLiteral("• Task: executed by the timer list\r\r"
                                    "√ Can't copy the file \"/home/ada/été.txt\"\r"
                                    ".hidden starts with a dot\r"
                                    ".\r"
                                    "\tindented line with a trailing blank \r")
    + QString(1200, u'x') + u'\r';

// Many pieces long, with lines the transfer must protect all along.
QString longLog()
{
    QString log;
    for (int i = 0; log.size() < 300000; ++i)
        log += QStringLiteral(".hidden %1 √ copied\r.\r").arg(i);
    return log;
}

const QString kLongLog = longLog();

QVariantMap mailPrefs(const QString &to = QStringLiteral("ada@example.org"))
{
    return {{"prefSendEmail", 1LL}, {"prefSendEmailWhen", 1LL}, {"prefSendEmailAddress", to}};
}

// The listener script, run for the life of the object.
class Listener {
public:
    explicit Listener(const QStringList &extra = {})
    {
        QString py = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
        if (py.isEmpty())
            py = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (py.isEmpty())
            return;
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proc.start(py, QStringList{QStringLiteral(QM_SOURCE_DIR "/tests/report/smtp_listener.py"),
                                     "--port-file", m_dir.filePath("port"), "--out", m_dir.path()}
                             + extra);
        QElapsedTimer t;
        t.start();
        while (!QFile::exists(m_dir.filePath("port")) && t.elapsed() < 10000 && m_proc.state() != QProcess::NotRunning)
            QThread::msleep(20);
        m_port = qmtest::bytesOf(m_dir.filePath("port")).toInt(); // 0 when unreadable
    }
    ~Listener()
    {
        m_proc.kill();
        m_proc.waitForFinished(5000);
    }
    int port() const { return m_port; }
    QStringList received() const { return QDir(m_dir.path()).entryList({"msg-*.json"}, QDir::Files, QDir::Name); }
    QJsonObject message(int n) const
    {
        return QJsonDocument::fromJson(qmtest::bytesOf(m_dir.filePath(QStringLiteral("msg-%1.json").arg(n)))).object();
    }

private:
    QTemporaryDir m_dir;
    QProcess m_proc;
    int m_port = 0;
};

#define REQUIRE_LISTENER(l)                                                              \
    if ((l).port() == 0)                                                                 \
    GTEST_SKIP() << "python3 is needed for the SMTP listener"

MailSettings smtpTo(int port, SmtpSecurity security = SmtpSecurity::None, const QString &user = {},
                    const QString &password = {})
{
    MailSettings s;
    s.transport = MailTransport::Smtp;
    s.smtp.host = QStringLiteral("127.0.0.1");
    s.smtp.port = port;
    s.smtp.security = security;
    s.smtp.timeoutMs = 10000;
    s.smtp.user = user;
    s.smtp.password = password;
    s.from = QStringLiteral("quillmere@host.example");
    return s;
}

// A sendmail stand-in that keeps its arguments and its input, then exits
// with the given status.
struct FakeSendmail {
    QTemporaryDir dir;
    QString program;
    // One that does not read leaves its input and an empty "input" file.
    explicit FakeSendmail(int exitCode = 0, bool reads = true)
    {
        program = dir.filePath("sendmail");
        qmtest::writeBytes(program, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1/args'\n"
                                                   "%3 > '%1/input'\necho 'no route' >&2\nexit %2\n")
                                        .arg(dir.path())
                                        .arg(exitCode)
                                        .arg(reads ? "cat" : "true")
                                        .toUtf8());
        QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    bool ran() const { return QFile::exists(dir.filePath("input")); }
    QByteArray file(const char *name) const
    {
        return qmtest::bytesOf(dir.filePath(QString::fromLatin1(name)));
    }
    MailSettings settings() const
    {
        MailSettings s;
        s.sendmailPath = program;
        return s;
    }
};

QByteArray decodeQuotedPrintable(const QByteArray &in)
{
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in.at(i) != '=') {
            out += in.at(i);
        } else if (in.mid(i + 1, 1) == "\n") {
            ++i; // soft line break
        } else {
            out += char(in.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        }
    }
    return out;
}

// The whole message as a mail program would read it.
QByteArray mimeOf(const MailMessage &m)
{
    QByteArray whole;
    EXPECT_TRUE(m.writeMime("\n", [&whole](QByteArrayView piece) {
        whole.append(piece);
        return true;
    }));
    return whole;
}

} // namespace

TEST(MailAddress, CheckMadeWhenThePreferencesAreApplied)
{
    EXPECT_TRUE(isAcceptableMailAddress("a@b.c"));
    EXPECT_TRUE(isAcceptableMailAddress("ada.lovelace@example.org"));
    for (const char *bad : {"a@bc", ".a@b.c", "@ab.c", "a@b.c.", "ab.c@", "ab@.cd", "abcd.ef", "abcd@ef",
                            "YOUR.NAME@YOUR-MAIL.EXAMPLE", "ada@Brantwick.Example", "ada@b.c\r\nBcc: x@y.z"})
        EXPECT_FALSE(isAcceptableMailAddress(QString::fromLatin1(bad))) << bad;
    EXPECT_FALSE(isAcceptableMailAddress(QLatin1String(kPlaceholderMailAddress)));
}

TEST(Mail, NothingIsTriedWhenNotAskedOrTheAddressIsUnusable)
{
    FakeSendmail sendmail;
    QVariantMap prefs = mailPrefs();
    prefs["prefSendEmail"] = 0LL;
    EXPECT_EQ(SendEmailTo(prefs, sendmail.settings(), 5, kLog).status, MailStatus::NotNeeded);
    prefs = mailPrefs();
    prefs["prefSendEmailWhen"] = 2LL; // only on errors, and there were none
    const MailResult quiet = SendEmailTo(prefs, sendmail.settings(), 0, kLog);
    EXPECT_EQ(quiet.status, MailStatus::NotNeeded);
    EXPECT_TRUE(quiet.ok());

    for (const QString &to : {QString(), QStringLiteral("support@BRANTWICK.example"),
                              QStringLiteral("ada@example.org\r\nBcc: all@example.org"),
                              QStringLiteral("ada@example.org\nSubject: hi")}) {
        const MailResult r = SendEmailTo(mailPrefs(to), sendmail.settings(), 1, kLog);
        EXPECT_EQ(r.status, MailStatus::BadAddress) << to.toStdString();
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.errorText, QStringLiteral("Can't send email."));
    }
    EXPECT_FALSE(sendmail.ran());
}

TEST(Mail, SendmailGetsOneMimeMessageOnItsInputWithTheRecipientInTheHeader)
{
    for (const QString &log : {kLog, kLongLog}) {
        FakeSendmail sendmail;
        const MailResult r = SendEmailTo(mailPrefs(), sendmail.settings(), 0, log);
        ASSERT_EQ(r.status, MailStatus::Sent) << r.detail.toStdString();
        EXPECT_EQ(sendmail.file("args"), QByteArray("-t\n-oi\n"));
        const QByteArray input = sendmail.file("input");
        const qsizetype split = input.indexOf("\n\n");
        ASSERT_GT(split, 0);
        const QList<QByteArray> headers = input.left(split).split('\n');
        for (const char *header : {"To: ada@example.org", "Subject: Quillmere Log Message: OK", "MIME-Version: 1.0",
                                   "Content-Type: text/plain; charset=UTF-8",
                                   "Content-Transfer-Encoding: quoted-printable"})
            EXPECT_TRUE(headers.contains(header)) << header;
        EXPECT_FALSE(input.contains('\r'));
        for (const QByteArray &line : input.split('\n'))
            ASSERT_LE(line.size(), 76);
        EXPECT_TRUE(QString::fromUtf8(decodeQuotedPrintable(input.mid(split + 2))) == logWithNewlines(log))
            << "the log differs";
    }
}

TEST(Mail, SendmailThatFailsOrIsMissingIsAFailureNeverASend)
{
    FakeSendmail refusing(75);
    MailResult r = SendEmailTo(mailPrefs(), refusing.settings(), 3, kLog);
    EXPECT_EQ(r.status, MailStatus::Failed);
    EXPECT_TRUE(r.detail.contains("75")) << r.detail.toStdString();
    EXPECT_TRUE(refusing.file("input").contains("Subject: Quillmere Log Message: Error"));

    // One that ends well without reading the log has not sent it.
    FakeSendmail deaf(0, false);
    r = SendEmailTo(mailPrefs(), deaf.settings(), 3, kLongLog);
    EXPECT_EQ(r.status, MailStatus::Failed);
    EXPECT_TRUE(deaf.ran());

    MailSettings missing;
    missing.sendmailPath = refusing.dir.filePath("no-such-sendmail");
    r = SendEmailTo(mailPrefs(), missing, 3, kLog);
    EXPECT_EQ(r.status, MailStatus::Failed);
    EXPECT_EQ(r.errorText, QStringLiteral("Can't send email."));
}

TEST(Mail, SmtpDeliversTheLogWithLoginToARealListener)
{
    Listener server({"--auth", "ada:s3cret word"});
    REQUIRE_LISTENER(server);
    const MailResult r = SendEmailTo(mailPrefs(), smtpTo(server.port(), SmtpSecurity::None, "ada", "s3cret word"), 3, kLog);
    ASSERT_EQ(r.status, MailStatus::Sent) << r.detail.toStdString();
    ASSERT_EQ(server.received().size(), 1);
    const QJsonObject m = server.message(1);
    EXPECT_EQ(m["mail_from"].toString(), QStringLiteral("<quillmere@host.example>"));
    EXPECT_EQ(m["rcpt_to"].toArray().first().toString(), QStringLiteral("<ada@example.org>"));
    EXPECT_EQ(m["user"].toString(), QStringLiteral("ada"));
    const QJsonObject h = m["headers"].toObject();
    for (const auto &[key, value] : {std::pair{"To", "ada@example.org"}, {"Subject", "Quillmere Log Message: Error"},
                                     {"From", "quillmere@host.example"}})
        EXPECT_EQ(h[key].toString(), QString::fromUtf8(value)) << key;
    EXPECT_TRUE(h.contains("Date") && h.contains("Message-ID"));
    EXPECT_EQ(m["content_type"].toString() + "; " + m["charset"].toString(), QStringLiteral("text/plain; utf-8"));
    EXPECT_LE(m["longest_line"].toInt(), 78);
    // Lines starting with "." and a line holding only "." survive the transfer.
    EXPECT_EQ(m["body"].toString(), logWithNewlines(kLog));

    // A log of many pieces arrives whole.
    ASSERT_EQ(SendEmailTo(mailPrefs(), smtpTo(server.port(), SmtpSecurity::None, "ada", "s3cret word"), 3, kLongLog).status,
              MailStatus::Sent);
    ASSERT_EQ(server.received().size(), 2);
    EXPECT_TRUE(server.message(2)["body"].toString() == logWithNewlines(kLongLog)) << "the long log differs";
}

TEST(Mail, SmtpLoginMethodAndWrongPassword)
{
    Listener server({"--auth", "ada:pw", "--auth-methods", "LOGIN"});
    REQUIRE_LISTENER(server);
    MailSettings s = smtpTo(server.port(), SmtpSecurity::None, "ada", "pw");
    EXPECT_EQ(SendEmailTo(mailPrefs(), s, 0, kLog).status, MailStatus::Sent);
    s.smtp.password = QStringLiteral("wrong");
    const MailResult r = SendEmailTo(mailPrefs(), s, 0, kLog);
    EXPECT_EQ(r.status, MailStatus::Failed);
    EXPECT_TRUE(r.detail.contains("535")) << r.detail.toStdString();
    EXPECT_EQ(server.received().size(), 1);
}

TEST(Mail, SmtpRefusalOrNoServerIsReportedAsAFailure)
{
    for (const char *step : {"mail", "rcpt", "data", "end"}) {
        Listener server({"--refuse", step});
        REQUIRE_LISTENER(server);
        const MailResult r = SendEmailTo(mailPrefs(), smtpTo(server.port()), 1, kLog);
        EXPECT_EQ(r.status, MailStatus::Failed) << step;
        EXPECT_EQ(r.errorText, QStringLiteral("Can't send email."));
        EXPECT_TRUE(r.detail.contains("55")) << step << ": " << r.detail.toStdString();
        EXPECT_TRUE(server.received().isEmpty());
    }
    QTcpServer probe; // take a free port, then give it back so nothing listens there
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const int port = probe.serverPort();
    probe.close();
    EXPECT_EQ(SendEmailTo(mailPrefs(), smtpTo(port), 1, kLog).status, MailStatus::Failed);
    MailSettings noHost = smtpTo(port);
    noHost.smtp.host.clear();
    EXPECT_EQ(SendEmailTo(mailPrefs(), noHost, 1, kLog).status, MailStatus::Failed);
}

TEST(Mail, StartTlsIsRequiredWhenAskedAndThenUsed)
{
    Listener plain;
    REQUIRE_LISTENER(plain);
    MailResult r = SendEmailTo(mailPrefs(), smtpTo(plain.port(), SmtpSecurity::StartTls), 1, kLog);
    EXPECT_EQ(r.status, MailStatus::Failed);
    EXPECT_TRUE(r.detail.contains("STARTTLS")) << r.detail.toStdString();
    EXPECT_TRUE(plain.received().isEmpty());

    const QString openssl = QStandardPaths::findExecutable("openssl");
    if (openssl.isEmpty() || !QSslSocket::supportsSsl())
        GTEST_SKIP() << "openssl and Qt's TLS support are needed for the STARTTLS case";
    QTemporaryDir dir;
    const QString cert = dir.filePath("cert.pem"), key = dir.filePath("key.pem");
    QProcess gen;
    gen.start(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                        "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert});
    ASSERT_TRUE(gen.waitForFinished(60000));
    ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();

    Listener secure({"--cert", cert, "--key", key, "--auth", "ada:pw"});
    REQUIRE_LISTENER(secure);
    MailSettings s = smtpTo(secure.port(), SmtpSecurity::StartTls, "ada", "pw");
    // An unknown certificate is refused...
    EXPECT_EQ(SendEmailTo(mailPrefs(), s, 1, kLog).status, MailStatus::Failed);
    // ...one that is trusted is used.
    s.smtp.extraCaCertificates = QSslCertificate::fromPath(cert);
    r = SendEmailTo(mailPrefs(), s, 1, kLongLog);
    ASSERT_EQ(r.status, MailStatus::Sent) << r.detail.toStdString();
    ASSERT_EQ(secure.received().size(), 1);
    EXPECT_TRUE(secure.message(1)["tls"].toBool());
    EXPECT_TRUE(secure.message(1)["body"].toString() == logWithNewlines(kLongLog)) << "the long log differs";
}

TEST(MailMessage, QuotedPrintableKeepsEveryLineOfTheText)
{
    const struct {
        QString text;
        QByteArray lines; // decoded, each ended by "\n"
    } cases[] = {
        {"", ""},
        {"\r", "\n"},
        {"one", "one\n"},
        {"one\r\ntwo\nthree\r", "one\ntwo\nthree\n"},
        {"one\r\r\n\ntwo", "one\n\n\ntwo\n"},
        {"blank at the end \r\ttab at the end\t\r", "blank at the end \n\ttab at the end\t\n"},
        {QStringLiteral("été=√"), "\xc3\xa9t\xc3\xa9=\xe2\x88\x9a\n"},
    };
    for (const auto &c : cases) {
        MailMessage m;
        m.body = c.text;
        const QByteArray mime = mimeOf(m);
        const QByteArray encoded = mime.mid(mime.indexOf("\n\n") + 2);
        EXPECT_EQ(decodeQuotedPrintable(encoded), c.lines) << c.text.toStdString();
        for (const QByteArray &line : encoded.split('\n')) {
            EXPECT_LE(line.size(), 76) << c.text.toStdString();
            EXPECT_FALSE(line.endsWith(' ') || line.endsWith('\t')) << c.text.toStdString();
        }
    }
}

TEST(MailMessage, NonAsciiSubjectIsEncodedAndDecodesBack)
{
    MailMessage m;
    m.to = QStringLiteral("ada@example.org");
    m.subject = QStringLiteral("Journal de Quillmere : réussi ✓ ") + QString(40, u'é');
    m.body = QStringLiteral("x\r");
    const QByteArray mime = mimeOf(m);
    const qsizetype start = mime.indexOf("Subject: ");
    const qsizetype end = mime.indexOf("\nDate: ");
    ASSERT_GE(start, 0);
    QString decoded;
    for (QByteArray word : mime.mid(start + 9, end - start - 9).split('\n')) {
        word = word.trimmed();
        ASSERT_TRUE(word.startsWith("=?UTF-8?B?") && word.endsWith("?=")) << word.toStdString();
        ASSERT_LE(word.size(), 75);
        decoded += QString::fromUtf8(QByteArray::fromBase64(word.mid(10, word.size() - 12)));
    }
    EXPECT_EQ(decoded, m.subject);
}
