#pragma once
// A tiny HTTP server on 127.0.0.1 for the tests of What's New.
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace qmtest {

// Answers every request with one canned reply and notes the request lines.
class TinyHttpServer : public QObject {
public:
    QByteArray status = "200 OK";
    QByteArray body;
    bool silent = false; // accepts, reads, never answers
    QList<QByteArray> requests;

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/release.plist").arg(m_server.serverPort())); }

    TinyHttpServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { answer(s); });
            }
        });
    }

private:
    void answer(QTcpSocket *s)
    {
        QByteArray &got = m_pending[s];
        got += s->readAll();
        if (!got.contains("\r\n\r\n"))
            return;
        requests.append(got.left(got.indexOf("\r\n")));
        if (silent)
            return;
        s->write("HTTP/1.1 " + status + "\r\nContent-Type: application/xml\r\nContent-Length: "
                 + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

} // namespace qmtest
