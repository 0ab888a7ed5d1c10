// "What's New" against a real HTTP server on 127.0.0.1.
#include "app/ReleaseNotice.h"
#include "platform/PropertyList.h"
#include "support/TinyHttpServer.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

using namespace qm;

namespace {

QByteArray info(const QVariantMap &m)
{
    return PropertyList::serialize(m);
}

struct Read {
    bool ended = false;
    QStringList shown;
    int raised = 0;
};

Read command(ReleaseNotice &notice, bool windowVisible, int waitMs = 15000)
{
    QSignalSpy shown(&notice, &ReleaseNotice::showNotes);
    QSignalSpy raised(&notice, &ReleaseNotice::raiseWindow);
    QSignalSpy ended(&notice, &ReleaseNotice::readEnded);
    notice.ShowReleaseNotes(windowVisible);
    Read r;
    r.ended = windowVisible ? ended.wait(300) : ended.wait(waitMs);
    for (const QList<QVariant> &args : shown)
        r.shown.append(args.value(0).toString());
    r.raised = int(raised.size());
    return r;
}

TEST(ReleaseNotice, ShowsOnlyTheNotesOfANewerRelease)
{
    const QString rich = QStringLiteral("<b>Faster</b> scans & <a href='x'>more</a>");
    struct Case {
        const char *name;
        QByteArray status;
        QByteArray body;
        bool shows;
    } cases[] = {
        {"this release", "200 OK", info({{"lastVersion", 361000}, {"whatsNew", "same"}}), false},
        {"newer release", "200 OK", info({{"lastVersion", 361001}, {"whatsNew", rich}}), true},
        {"older release", "200 OK", info({{"lastVersion", 350000}, {"whatsNew", "old"}}), false},
        {"version 0", "200 OK", info({{"lastVersion", 0}, {"whatsNew", "zero"}}), false},
        {"no version", "200 OK", info({{"whatsNew", "none"}}), false},
        {"no notes", "200 OK", info({{"lastVersion", 400000}}), false},
        {"not a dictionary", "200 OK", PropertyList::serialize(QVariantList{361001}), false},
        {"damaged list", "200 OK", info({{"lastVersion", 361001}, {"whatsNew", "cut"}}).left(120), false},
        {"server error", "500 Internal Server Error", info({{"lastVersion", 361001}, {"whatsNew", "x"}}), false},
        {"over 1 MB", "200 OK",
         info({{"lastVersion", 361001}, {"whatsNew", QString(ReleaseNotice::kMaxReplyBytes, u'n')}}), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        qmtest::TinyHttpServer server;
        ASSERT_TRUE(server.listen());
        server.status = c.status;
        server.body = c.body;
        ReleaseNotice notice(server.url());
        ASSERT_TRUE(notice.isAvailable());
        const Read r = command(notice, false);
        EXPECT_TRUE(r.ended);
        EXPECT_EQ(r.shown, c.shows ? QStringList{rich} : QStringList{});
        ASSERT_EQ(server.requests.size(), 1);
        // A number no cache has seen after the address.
        EXPECT_TRUE(QRegularExpression("^GET /release\\.plist\\?\\d+ HTTP/1\\.1$")
                        .match(QString::fromLatin1(server.requests[0]))
                        .hasMatch())
            << server.requests[0].constData();
    }
}

TEST(ReleaseNotice, ADeadOrSilentServerShowsNothing)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QUrl dead(QStringLiteral("http://127.0.0.1:%1/release.plist").arg(closed.serverPort()));
    closed.close();
    ReleaseNotice refused(dead);
    const Read r = command(refused, false);
    EXPECT_TRUE(r.ended);
    EXPECT_TRUE(r.shown.isEmpty());

    qmtest::TinyHttpServer server;
    ASSERT_TRUE(server.listen());
    server.silent = true;
    ReleaseNotice notice(server.url());
    notice.setTimeLimit(500);
    QElapsedTimer clock;
    clock.start();
    const Read late = command(notice, false, 5000);
    EXPECT_TRUE(late.ended);
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_TRUE(late.shown.isEmpty());
    EXPECT_FALSE(notice.isReading());
}

TEST(ReleaseNotice, AnOpenWindowIsOnlyRaised)
{
    qmtest::TinyHttpServer server;
    ASSERT_TRUE(server.listen());
    server.body = info({{"lastVersion", 361001}, {"whatsNew", "new"}});
    ReleaseNotice notice(server.url());
    const Read r = command(notice, true);
    EXPECT_EQ(r.raised, 1);
    EXPECT_TRUE(r.shown.isEmpty());
    QTest::qWait(100);
    EXPECT_TRUE(server.requests.isEmpty());
}

TEST(ReleaseNotice, WithoutAnAddressTheCommandIsHidden)
{
    for (const char *address : {"", "file:///etc/passwd", "not a url"})
        EXPECT_FALSE(ReleaseNotice(QUrl(QString::fromLatin1(address))).isAvailable()) << address;
    ReleaseNotice none{QUrl()};
    QSignalSpy ended(&none, &ReleaseNotice::readEnded);
    none.ShowReleaseNotes(false);
    EXPECT_FALSE(none.isReading());
}

} // namespace
