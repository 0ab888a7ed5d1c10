// The volumes panel, the conflicts and script windows and the scheduling
// monitor, driven as a person would, offscreen, with scripted boxes.
#include "ui/UiFixture.h"

#include "schedule/MonitorFixture.h"
#include "schedule/MonitorModel.h"
#include "schedule/ScheduleTestSupport.h"
#include "schedule/Clock.h"
#include "schedule/ScheduleHost.h"
#include "schedule/ScheduleMonitor.h"
#include "support/Documents.h"
#include "ui/ConflictsWindow.h"
#include "ui/ConsolePanel.h"
#include "ui/SchedulingWindow.h"
#include "ui/ScriptsWindow.h"
#include "ui/VolumesPanel.h"
#include "volumes/PasswordCodec.h"
#include "volumes/VolumeUtilities.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>

namespace qm {
namespace {

using qmtest::DesktopFixture;
using qmtest::waitFor;

QVariantMap sessionOf(DesktopFixture &f) { return qmtest::currentSession(f.app().controller().documents().document()); }

void setSession(DesktopFixture &f, const QVariantMap &session)
{
    QVariantMap &doc = f.app().controller().documents().document();
    qmtest::setSession(&doc, doc["sessionIndex"].toInt(), session);
}

QVariantMap remoteRow(const QString &host)
{
    return {{"onOff", 1LL},        {"volumeType", 1LL}, {"scheme", "sftp"},
            {"user", "ann"},       {"host", host},      {"path", "/srv"},
            {"mountPoint", "/nonexistent/mnt/" + host}, {"password", QByteArray()},
            {"unmountVolume", 1LL}, {"volumeIcon", QByteArray()}};
}

void clickCell(QTableView *table, int row, int column, Qt::KeyboardModifiers keys = {})
{
    const QRect cell = table->visualRect(table->model()->index(row, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, keys, cell.center());
}

TEST(VolumesPanelPath, PasswordIsStoredEncodedAtApplyAndCancelLeavesTheSession)
{
    DesktopFixture f;
    f.app().launch(LaunchOptions{{}, 0});
    ConsoleWindow &w = f.window();
    QVariantMap s = sessionOf(f);
    QVariantList rows = s["autoMountVolumeArray"].toList();
    rows[0] = remoteRow("files.example");
    s["autoMountVolumeArray"] = rows;
    s["autoMountVolumeOn"] = 1LL;
    setSession(f, s);

    w.GoPanel(Panel::AutoMountVolumes);
    VolumesPanel *panel = w.volumesPanel();
    ASSERT_EQ(w.pages()->currentWidget(), panel);
    EXPECT_TRUE(panel->tryMountAllButton()->isEnabled());
    clickCell(panel->table(), 0, VolumeListEditor::AddressColumn);
    VolumeRowDialog *dialog = panel->rowDialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_FALSE(dialog->userField()->isReadOnly());
    dialog->passwordField()->setText("ab");
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    ASSERT_EQ(f.dialogs.alerts.size(), 1);
    EXPECT_EQ(f.dialogs.alerts.last().text, "Can't set a password smaller than 3 characters.");
    EXPECT_TRUE(dialog->isVisible());
    dialog->passwordField()->setText("secret");
    dialog->unmountBox()->setChecked(false);
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return !panel->rowDialog(); }));
    EXPECT_EQ(sessionOf(f), s) << "nothing stored before Apply";

    QTest::mouseClick(panel->applyButton(), Qt::LeftButton);
    EXPECT_EQ(w.pages()->currentWidget(), w.consolePanel());
    const QVariantMap stored = sessionOf(f)["autoMountVolumeArray"].toList().at(0).toMap();
    EXPECT_EQ(PasswordCodec::GetWellData(stored["password"].toByteArray()), "secret");
    EXPECT_EQ(stored["unmountVolume"].toLongLong(), 0);
    EXPECT_FALSE(stored["volumeIcon"].toByteArray().isEmpty()) << "the default image is kept with the row";

    const QVariantMap before = sessionOf(f);
    w.GoPanel(Panel::AutoMountVolumes);
    // Alt+click's visible twin: the address cell's menu removes the row.
    std::unique_ptr<QMenu> menu(panel->contextMenu(0, VolumeListEditor::AddressColumn));
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().first()->text(), "Remove from the List");
    menu->actions().first()->trigger();
    EXPECT_EQ(panel->volumes()->rowAt(0)["host"].toString(), "");
    clickCell(panel->table(), 0, VolumeListEditor::OnOffColumn);
    panel->listSwitch()->click();
    EXPECT_FALSE(panel->tryMountAllButton()->isEnabled());
    QTest::mouseClick(panel->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(sessionOf(f), before);
    EXPECT_EQ(w.pages()->currentWidget(), w.consolePanel());
}

TEST(VolumesPanelPath, MountAttemptRunsOffTheMainThreadAndShowsItsMessage)
{
    qmtest::ScriptedDialogs dialogs;
    std::atomic<bool> release{false};
    auto volumes = std::make_shared<VolumeUtilities>(Mounter::forThisProcess(), [&release](const QString &) {
        while (!release)
            QThread::msleep(5);
        return 2; // the host name does not resolve
    });
    QVariantMap session{{"autoMountVolumeOn", 1LL}, {"autoMountVolumeArray", QVariantList{remoteRow("nowhere")}}};
    QVariantMap doc{{"sessionsArray", QVariantList{session}}, {"sessionIndex", 0}};
    VolumesPanel panel(ListPanelServices{&dialogs, [&doc]() -> QVariantMap & { return doc; }, [] { return false; }, {}},
                       volumes);
    panel.load(doc);
    panel.show();
    QSignalSpy finished(&panel, &VolumesPanel::tryFinished);

    clickCell(panel.table(), 0, VolumeListEditor::AddressColumn);
    ASSERT_TRUE(panel.rowDialog());
    QTest::mouseClick(panel.rowDialog()->tryMountButton(), Qt::LeftButton);
    EXPECT_TRUE(panel.isBusy());
    EXPECT_FALSE(panel.rowDialog()->tryMountButton()->isEnabled());
    QTest::qWait(50); // the window keeps answering while the probe waits
    EXPECT_TRUE(dialogs.alerts.isEmpty());
    release = true;
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(panel.isBusy());
    ASSERT_EQ(dialogs.alerts.size(), 1);
    EXPECT_EQ(dialogs.alerts.last().text, "Can't mount the volume. Unable to lookup the host address.");

    panel.rowDialog()->reject();
    QTest::mouseClick(panel.tryMountAllButton(), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(dialogs.alerts.last().text, "Can't mount the volumes:\r\"sftp://nowhere/srv\"");
}

TEST(ConflictsWindowPath, OkStoresTheRulesAndCancelLeavesThem)
{
    DesktopFixture f;
    f.app().launch(LaunchOptions{{}, 0});
    ConsoleWindow &w = f.window();
    w.GoPanel(Panel::Conflicts);
    ConflictsWindow *c = w.conflictsWindow();
    ASSERT_TRUE(c->isVisible());
    EXPECT_TRUE(c->ruleGroup(0)->button(2)->isChecked());
    c->ruleGroup(0)->button(1)->click();
    c->askBox(4)->click();
    QTest::mouseClick(c->okButton(), Qt::LeftButton);
    EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(sessionOf(f)["conflictSyncRadio"].toLongLong(), 1);
    EXPECT_EQ(sessionOf(f)["conflictExactSyncAsk"].toLongLong(), 1);
    EXPECT_EQ(w.pages()->currentWidget(), w.consolePanel());

    const QVariantMap before = sessionOf(f);
    w.GoPanel(Panel::Conflicts);
    EXPECT_TRUE(c->ruleGroup(0)->button(1)->isChecked());
    c->askBox(0)->click();
    QTest::mouseClick(c->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(sessionOf(f), before);
    EXPECT_EQ(f.dialogs.beeps, 0);
}

TEST(ScriptsWindowPath, FaultyScriptIsSelectedAndAFixedOneStored)
{
    DesktopFixture f;
    f.app().launch(LaunchOptions{{}, 0});
    ConsoleWindow &w = f.window();
    const QVariantMap before = sessionOf(f);
    w.GoPanel(Panel::AppleScript);
    ScriptsWindow *s = w.scriptsWindow();
    ASSERT_TRUE(s->isVisible());
    s->startBox()->setChecked(true);
    s->startText()->setPlainText("echo start\nif true; then\n");
    QTest::mouseClick(s->okButton(), Qt::LeftButton);
    ASSERT_EQ(f.dialogs.alerts.size(), 1);
    EXPECT_TRUE(f.dialogs.alerts.last().text.startsWith("Error compiling the first AppleScript."));
    EXPECT_TRUE(s->isVisible());
    EXPECT_TRUE(s->startText()->textCursor().hasSelection());
    EXPECT_EQ(sessionOf(f), before);

    QSignalSpy tried(s, &ScriptsWindow::tryFinished);
    s->startText()->setPlainText("echo \"hello $QUILLMERE_HOOK\"");
    QTest::mouseClick(s->tryButton(1), Qt::LeftButton);
    EXPECT_TRUE(s->isBusy());
    ASSERT_TRUE(tried.wait(10000));
    EXPECT_EQ(s->output()->toPlainText(), "hello before\n");
    EXPECT_EQ(s->status()->text(), "The script ended without errors.");

    QTest::mouseClick(s->okButton(), Qt::LeftButton);
    EXPECT_FALSE(s->isVisible());
    EXPECT_EQ(sessionOf(f)["asStartOn"].toLongLong(), 1);
    EXPECT_EQ(sessionOf(f)["asStartText"].toString(), "echo \"hello $QUILLMERE_HOOK\"");
    EXPECT_EQ(w.pages()->currentWidget(), w.consolePanel());
}

TEST(SchedulingWindowPath, DoneEntriesOpenTheirLogAndAreDeletedWithTheNextMarkKept)
{
    qmtest::ScopedTimeZone zone(qmtest::kBerlin);
    TestClock clock(qmtest::at(2026, 12, 7, 7, 0));
    qmtest::FakeScheduleHost host;
    host.list = {qmtest::session("Photos", {qmtest::repeating(qmtest::at(2026, 12, 1, 8, 0), TimerStep{0, 0, 0, 1, 0})})};
    ScheduleMonitor monitor(clock, host);
    monitor.setRunStarter([](int, int, int) { return true; });
    monitor.rebuild(true);
    QString opened;
    SchedulingWindow window(monitor, [&opened](const QString &path) { opened = path; });
    window.WindowOpenScheduling();
    ASSERT_EQ(window.model()->rowCount(), 16); // 08:00 to 23:00

    const QString log = QDir(QDir::tempPath()).filePath("qm-scheduling-test.log");
    QFile(log).open(QIODevice::WriteOnly);
    clock.set(qmtest::at(2026, 12, 7, 8, 0));
    monitor.checkIfTimeToSync();
    EXPECT_FALSE(window.daysPopup()->isEnabled());
    EXPECT_EQ(window.table()->model()->index(0, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    monitor.markDone(1, log);
    EXPECT_TRUE(window.daysPopup()->isEnabled());

    window.table()->selectRow(0);
    ASSERT_TRUE(window.openLogButton()->isEnabled());
    QTest::mouseClick(window.openLogButton(), Qt::LeftButton);
    EXPECT_EQ(opened, log);
    opened.clear();
    const QRect cell = window.table()->visualRect(window.table()->model()->index(0, 2));
    QTest::mouseClick(window.table()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(window.table()->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(opened, log);
    EXPECT_FALSE(window.table()->model()->index(1, 0).data(Qt::DecorationRole).isNull());

    window.table()->selectionModel()->select(window.table()->model()->index(1, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::mouseClick(window.deleteButton(), Qt::LeftButton);
    EXPECT_EQ(window.model()->rowCount(), 16) << "a waiting entry among them: nothing deleted";
    window.table()->selectRow(0);
    QTest::mouseClick(window.deleteButton(), Qt::LeftButton);
    EXPECT_EQ(window.model()->rowCount(), 15);
    EXPECT_EQ(monitor.schedule().nextIndex(), 0);

    window.close();
    EXPECT_FALSE(window.isVisible());
    QFile::remove(log);
}

TEST(SchedulingWindowPath, TimerCommandOpensItWithAltAndItReopensAtLaunch)
{
    {
        DesktopFixture f;
        f.app().launch(LaunchOptions{{}, 0});
        ConsoleWindow &w = f.window();
        EXPECT_FALSE(w.schedulingWindow()->isVisible());
        Q_EMIT w.consolePanel()->optionRequested(ConsolePanel::Timer, Qt::AltModifier);
        EXPECT_TRUE(w.schedulingWindow()->isVisible());
        EXPECT_EQ(w.pages()->currentWidget(), w.consolePanel());
        f.app().requestQuit();
        EXPECT_TRUE(f.app().controller().prefs().value("prefSchedulingWindowIsOpen").toBool());
    }
    DesktopFixture again(QVariantMap{{"prefSchedulingWindowIsOpen", true}});
    again.app().launch(LaunchOptions{{}, 0});
    EXPECT_TRUE(again.window().schedulingWindow()->isVisible());
}

} // namespace
} // namespace qm
