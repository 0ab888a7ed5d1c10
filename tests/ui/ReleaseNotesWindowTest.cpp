// The release-notes window against a real HTTP server on 127.0.0.1.
#include "platform/PropertyList.h"
#include "support/TinyHttpServer.h"
#include "ui/ReleaseNotesWindow.h"

#include <QAction>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace qm;

namespace {

TEST(ReleaseNotesWindow, ShowsTheNotesAsTextAndAnOpenWindowIsOnlyRaised)
{
    qmtest::TinyHttpServer server;
    ASSERT_TRUE(server.listen());
    const QString notes = QStringLiteral("<h1>3.6.2</h1><img src='http://127.0.0.1:1/x.png'> fixes");
    server.body = PropertyList::serialize(QVariantMap{{"lastVersion", 362000}, {"whatsNew", notes}});
    ReleaseNotesWindow window(server.url());
    ASSERT_TRUE(window.menuAction()->isVisible());

    QSignalSpy ended(&window.notice(), &ReleaseNotice::readEnded);
    window.menuAction()->trigger();
    ASSERT_TRUE(ended.wait(15000));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.notesText(), notes); // the markup is shown, not obeyed

    window.menuAction()->trigger();
    QTest::qWait(200);
    EXPECT_EQ(server.requests.size(), 1);
    EXPECT_FALSE(window.notice().isReading());
}

TEST(ReleaseNotesWindow, NothingNewLeavesTheWindowClosed)
{
    qmtest::TinyHttpServer server;
    ASSERT_TRUE(server.listen());
    server.body = "<plist version=\"1.0\"><dict><key>lastVersion</key><integer>3610";
    ReleaseNotesWindow window(server.url());
    QSignalSpy ended(&window.notice(), &ReleaseNotice::readEnded);
    window.ShowReleaseNotes();
    ASSERT_TRUE(ended.wait(15000));
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.notesText().isEmpty());
}

TEST(ReleaseNotesWindow, BuiltWithoutAnAddressTheCommandIsHidden)
{
    ReleaseNotesWindow window{QUrl()};
    EXPECT_FALSE(window.menuAction()->isVisible());
}

} // namespace
