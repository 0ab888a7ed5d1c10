#include "app/ReleaseNotice.h"

#include "platform/PropertyList.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QVariantMap>

#include <utility>

namespace qm {

ReleaseNotice::ReleaseNotice(const QUrl &address, QObject *parent)
    : QObject(parent), m_address(address)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(kTimeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, &ReleaseNotice::stop);
}

ReleaseNotice::~ReleaseNotice()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

QUrl ReleaseNotice::builtInAddress()
{
    return QUrl(QStringLiteral(QM_RELEASE_INFO_URL));
}

bool ReleaseNotice::isAvailable() const
{
    const QString scheme = m_address.scheme();
    return m_address.isValid() && !m_address.host().isEmpty()
           && (scheme == QLatin1String("https") || scheme == QLatin1String("http"));
}

QUrl ReleaseNotice::uncachedAddress(const QUrl &address, quint32 number)
{
    QString text = address.toString(QUrl::FullyEncoded);
    text += text.contains(u'?') ? u'&' : u'?';
    return QUrl(text + QString::number(number), QUrl::StrictMode);
}

std::optional<QString> ReleaseNotice::notesFrom(const QByteArray &reply)
{
    QVariant root;
    if (!PropertyList::parse(reply, QStringLiteral("release information"), &root, nullptr)
        || root.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap info = root.toMap();
    const qlonglong last = info.value(QStringLiteral("lastVersion")).toLongLong();
    if (last <= kRunningVersion)
        return std::nullopt;
    const QVariant notes = info.value(QStringLiteral("whatsNew"));
    if (notes.typeId() != QMetaType::QString)
        return std::nullopt;
    return notes.toString();
}

void ReleaseNotice::ShowReleaseNotes(bool windowVisible)
{
    if (windowVisible) {
        Q_EMIT raiseWindow();
        return;
    }
    if (m_reply || !isAvailable())
        return;
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(uncachedAddress(m_address, QRandomGenerator::global()->bounded(1u << 31)));
    request.setTransferTimeout(m_deadline.interval());
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_bytes.clear();
    m_tooLarge = false;
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &ReleaseNotice::received);
    connect(m_reply, &QNetworkReply::finished, this, &ReleaseNotice::ended);
    m_deadline.start();
}

void ReleaseNotice::received()
{
    if (!m_reply)
        return;
    const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (announced.isValid() && announced.toLongLong() > kMaxReplyBytes)
        return stop();
    m_bytes += m_reply->read(kMaxReplyBytes + 1 - m_bytes.size());
    if (m_bytes.size() > kMaxReplyBytes)
        stop();
}

void ReleaseNotice::stop()
{
    m_tooLarge = true; // whatever arrived so far is not the whole answer
    if (m_reply)
        m_reply->abort(); // finished() follows
}

void ReleaseNotice::ended()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    m_deadline.stop();
    if (reply->isOpen())
        m_bytes += reply->read(kMaxReplyBytes + 1 - m_bytes.size());
    const bool ok = !m_tooLarge && m_bytes.size() <= kMaxReplyBytes && reply->error() == QNetworkReply::NoError
                    && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();
    const QByteArray bytes = std::exchange(m_bytes, QByteArray());
    if (ok)
        if (const std::optional<QString> notes = notesFrom(bytes))
            Q_EMIT showNotes(*notes);
    Q_EMIT readEnded();
}

} // namespace qm
