#include "report/SmtpClient.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStringList>

#include <memory>
#include <utility>

namespace qm {

namespace {

struct Reply {
    int code = 0;
    QStringList lines; // text after the code, one per line
};

// One conversation with the server; every step fails with a reason.
class Session {
public:
    Session(const SmtpSettings &s, QString *error) : m_s(s), m_error(error) {}

    bool run(const QString &from, const QString &to, const ByteProducer &message)
    {
        if (!connectToServer() || !expect(220, "greeting") || !hello())
            return false;
        if (m_s.security == SmtpSecurity::StartTls && !startTls())
            return false;
        if (!m_s.user.isEmpty() && !authenticate())
            return false;
        if (!command("MAIL FROM:<" + from.toUtf8() + ">", 250, "MAIL FROM")
            || !command("RCPT TO:<" + to.toUtf8() + ">", 250, "RCPT TO", 251)
            || !command("DATA", 354, "DATA"))
            return false;
        if (!writeData(message) || !expect(250, "end of data"))
            return false;
        write("QUIT\r\n"); // the message is accepted; the goodbye does not matter
        m_socket.waitForReadyRead(1000);
        m_socket.disconnectFromHost();
        return true;
    }

private:
    bool fail(const QString &why)
    {
        *m_error = why;
        m_socket.abort();
        return false;
    }

    bool connectToServer()
    {
        if (m_s.host.isEmpty())
            return fail(QStringLiteral("no SMTP server is set"));
        if (!m_s.extraCaCertificates.isEmpty()) {
            QSslConfiguration conf = m_socket.sslConfiguration();
            conf.addCaCertificates(m_s.extraCaCertificates);
            m_socket.setSslConfiguration(conf);
        }
        if (m_s.security == SmtpSecurity::Tls) {
            if (!QSslSocket::supportsSsl())
                return fail(QStringLiteral("TLS is not available"));
            m_socket.connectToHostEncrypted(m_s.host, quint16(m_s.port));
            if (!m_socket.waitForEncrypted(m_s.timeoutMs))
                return fail(QStringLiteral("cannot open a TLS connection to %1:%2: %3")
                                .arg(m_s.host).arg(m_s.port).arg(m_socket.errorString()));
            return true;
        }
        m_socket.connectToHost(m_s.host, quint16(m_s.port));
        if (!m_socket.waitForConnected(m_s.timeoutMs))
            return fail(QStringLiteral("cannot connect to %1:%2: %3")
                            .arg(m_s.host).arg(m_s.port).arg(m_socket.errorString()));
        return true;
    }

    bool hello()
    {
        QString name = QHostInfo::localHostName();
        if (name.isEmpty() || name.contains(u' '))
            name = QStringLiteral("localhost");
        if (!command("EHLO " + name.toUtf8(), 250, "EHLO"))
            return false;
        m_extensions.clear();
        for (qsizetype i = 1; i < m_last.lines.size(); ++i)
            m_extensions << m_last.lines.at(i).toUpper();
        return true;
    }

    bool hasExtension(const QString &name, const QString &arg = QString()) const
    {
        for (const QString &e : m_extensions) {
            const QStringList words = e.split(u' ', Qt::SkipEmptyParts);
            if (!words.isEmpty() && words.first() == name && (arg.isEmpty() || words.contains(arg)))
                return true;
        }
        return false;
    }

    bool startTls()
    {
        if (!hasExtension(QStringLiteral("STARTTLS")))
            return fail(QStringLiteral("the server does not offer STARTTLS"));
        if (!QSslSocket::supportsSsl())
            return fail(QStringLiteral("TLS is not available"));
        if (!command("STARTTLS", 220, "STARTTLS"))
            return false;
        m_socket.startClientEncryption();
        if (!m_socket.waitForEncrypted(m_s.timeoutMs))
            return fail(QStringLiteral("TLS negotiation failed: %1").arg(m_socket.errorString()));
        return hello();
    }

    bool authenticate()
    {
        // A password goes in clear only to this machine itself.
        const QHostAddress address(m_socket.peerAddress());
        if (!m_socket.isEncrypted() && !address.isLoopback())
            return fail(QStringLiteral("refusing to send the password over an unencrypted connection"));
        const QByteArray user = m_s.user.toUtf8(), pass = m_s.password.toUtf8();
        if (hasExtension(QStringLiteral("AUTH"), QStringLiteral("PLAIN")))
            return command("AUTH PLAIN " + (QByteArray(1, '\0') + user + '\0' + pass).toBase64(), 235,
                           "AUTH PLAIN");
        if (hasExtension(QStringLiteral("AUTH"), QStringLiteral("LOGIN")))
            return command("AUTH LOGIN", 334, "AUTH LOGIN") && command(user.toBase64(), 334, "AUTH LOGIN user")
                && command(pass.toBase64(), 235, "AUTH LOGIN password");
        return fail(QStringLiteral("the server offers neither AUTH PLAIN nor AUTH LOGIN"));
    }

    // The message dot-stuffed and ended, written a piece at a time: a long
    // log is never copied whole, neither here nor in the socket's buffer.
    bool writeData(const ByteProducer &message)
    {
        QByteArray piece;
        piece.reserve(kPieceSize + 8);
        char beforeLast = 0, last = '\n'; // an empty message still gets its line end
        bool written = true;
        const ByteSink toServer = [this, &written](QByteArrayView bytes) { return written = write(bytes); };
        const bool made = message([&](QByteArrayView bytes) {
            for (char c : bytes) {
                if (last == '\n' && c == '.')
                    piece += '.';
                piece += c;
                beforeLast = std::exchange(last, c);
                if (!passOnWhenFull(piece, toServer))
                    return false;
            }
            return true;
        });
        if (!written)
            return false;
        if (!made)
            return fail(QStringLiteral("the message could not be made"));
        if (beforeLast != '\r' || last != '\n')
            piece += "\r\n";
        return write(piece + ".\r\n");
    }

    bool write(QByteArrayView bytes)
    {
        if (m_socket.write(bytes.data(), bytes.size()) != bytes.size())
            return fail(QStringLiteral("cannot write to the server: %1").arg(m_socket.errorString()));
        while (m_socket.bytesToWrite() > 0)
            if (!m_socket.waitForBytesWritten(m_s.timeoutMs))
                return fail(QStringLiteral("cannot write to the server: %1").arg(m_socket.errorString()));
        return true;
    }

    bool readLine(QByteArray *line)
    {
        while (!m_socket.canReadLine()) {
            if (m_socket.bytesAvailable() > 65536)
                return fail(QStringLiteral("the server sent an overlong line"));
            if (!m_socket.waitForReadyRead(m_s.timeoutMs))
                return fail(QStringLiteral("no answer from the server: %1").arg(m_socket.errorString()));
        }
        *line = m_socket.readLine().trimmed();
        return true;
    }

    bool readReply()
    {
        m_last = Reply{};
        for (;;) {
            QByteArray line;
            if (!readLine(&line))
                return false;
            bool ok = false;
            const int code = line.left(3).toInt(&ok);
            if (!ok || line.size() < 3)
                return fail(QStringLiteral("the server's answer is not SMTP: %1").arg(QString::fromUtf8(line)));
            m_last.code = code;
            m_last.lines << QString::fromUtf8(line.mid(4));
            if (line.size() == 3 || line.at(3) != '-')
                return true;
        }
    }

    bool expect(int code, const char *step, int alsoCode = 0)
    {
        if (!readReply())
            return false;
        if (m_last.code == code || (alsoCode && m_last.code == alsoCode))
            return true;
        return fail(QStringLiteral("the server refused %1: %2 %3")
                        .arg(QLatin1String(step)).arg(m_last.code).arg(m_last.lines.join(u' ')));
    }

    bool command(const QByteArray &line, int code, const char *step, int alsoCode = 0)
    {
        return write(line + "\r\n") && expect(code, step, alsoCode);
    }

    const SmtpSettings &m_s;
    QString *m_error;
    QSslSocket m_socket;
    Reply m_last;
    QStringList m_extensions;
};

} // namespace

bool SmtpClient::send(const QString &from, const QString &to, const ByteProducer &message)
{
    m_error.clear();
    Session session(m_settings, &m_error);
    return session.run(from, to, message);
}

} // namespace qm
