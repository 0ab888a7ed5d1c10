#pragma once
// "What's New": reads the release information published at the build's
// address and, when it names a release newer than this one, hands its notes
// to the release-notes window. Nothing is downloaded or installed.
//
// The read never blocks the window: it is asynchronous and ends after 10
// seconds at most. Every failure is silent. A program built without an
// address (distributions update it themselves) has no such command.
#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;

namespace qm {

class ReleaseNotice : public QObject {
    Q_OBJECT
public:
    static constexpr qlonglong kRunningVersion = 361000;
    static constexpr qint64 kMaxReplyBytes = 1024 * 1024;
    static constexpr int kTimeoutMs = 10000;

    explicit ReleaseNotice(const QUrl &address = builtInAddress(), QObject *parent = nullptr);
    ~ReleaseNotice() override;

    // The address the program was built with; empty when none.
    static QUrl builtInAddress();
    // Whether the menu command exists at all.
    bool isAvailable() const;

    // The menu command: an open window is only brought to the front;
    // otherwise the information is read, and showNotes() follows when there
    // is something new.
    void ShowReleaseNotes(bool windowVisible);
    bool isReading() const { return m_reply != nullptr; }
    // The longest a read may take (kTimeoutMs unless changed).
    void setTimeLimit(int ms) { m_deadline.setInterval(ms); }

    // The notes of a reply, when it names a newer release.
    static std::optional<QString> notesFrom(const QByteArray &reply);
    // The address with "?" (or "&") and a number that no cache has seen.
    static QUrl uncachedAddress(const QUrl &address, quint32 number);

Q_SIGNALS:
    void raiseWindow();
    void showNotes(const QString &notes);
    // A read ended, with notes shown or silently.
    void readEnded();

private:
    void received();
    void ended();
    void stop();

    QUrl m_address;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_bytes;
    bool m_tooLarge = false;
    QTimer m_deadline;
};

} // namespace qm
