// The list pages through the real console, offscreen, with scripted boxes:
// each edits its list, applies it into the session, and a cancelled edit
// leaves the session as it was.
#include "ui/UiFixture.h"

#include "support/Documents.h"
#include "ui/ConsoleWindow.h"
#include "ui/FilterRowDialog.h"
#include "ui/ListPanels.h"
#include "ui/NumberField.h"
#include "ui/TimerRowDialog.h"
#include "uimodel/FilterListEditor.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace qm {
namespace {

using qmtest::DesktopFixture;

QVariantMap currentSession(DesktopFixture &f) { return qmtest::currentSession(f.app().controller().document()); }

QVariantMap storedRow(DesktopFixture &f, const char *list, int row)
{
    return currentSession(f)[list].toList().at(row).toMap();
}

QPoint cellCenter(ListPanel *panel, int row, int column)
{
    QTableView *table = panel->table();
    const QModelIndex index = table->model()->index(row, column);
    table->scrollTo(index);
    return table->visualRect(index).center();
}

void clickCell(ListPanel *panel, int row, int column, Qt::KeyboardModifiers keys = {})
{
    QTest::mouseClick(panel->table()->viewport(), Qt::LeftButton, keys, cellCenter(panel, row, column));
}

// Opens `panel` from the console with its list switched on.
template <class P = ListPanel>
P *open(DesktopFixture &f, Panel which)
{
    f.window().GoPanel(which);
    auto *panel = static_cast<P *>(f.window().listPanel(which));
    EXPECT_EQ(f.window().pages()->currentWidget(), panel);
    if (!panel->listSwitch()->isChecked())
        panel->listSwitch()->click();
    return panel;
}

TEST(ListPanelsPaths, FolderPairsChosenRefusedAtRowThreeThenAppliedAndCancelLeavesThem)
{
    DesktopFixture f;
    const QString a = f.home.path() + "/a", b = f.home.path() + "/b";
    QDir().mkpath(a);
    QDir().mkpath(b);
    f.app().launch(LaunchOptions{{}, 0});
    ListPanel *pairs = open(f, Panel::Multi);

    f.dialogs.items << a << a;
    clickCell(pairs, 2, 1);
    clickCell(pairs, 2, 2);
    EXPECT_EQ(f.dialogs.itemPanelTitles, QStringList({"Choose the source Folder", "Choose the destination Folder"}));
    EXPECT_EQ(pairs->table()->model()->index(2, 1).data().toString(), "a");
    pairs->applyButton()->click();
    ASSERT_EQ(f.dialogs.alerts.size(), 1);
    EXPECT_EQ(f.dialogs.alerts.last().text,
              "Can't set the same folder:\r\"" + a + "\"\ras source and destination at the row 3.");
    EXPECT_EQ(f.window().pages()->currentWidget(), pairs);
    EXPECT_EQ(storedRow(f, "multiArray", 2)["source"].toString(), "");

    f.dialogs.items << b;
    clickCell(pairs, 2, 2);
    pairs->applyButton()->click();
    EXPECT_EQ(f.window().currentPanel(), Panel::Console);
    EXPECT_EQ(currentSession(f)["multiOn"].toLongLong(), 1);
    EXPECT_EQ(storedRow(f, "multiArray", 2)["source"].toString(), a);
    EXPECT_EQ(storedRow(f, "multiArray", 2)["destination"].toString(), b);

    // The path menu lists the ancestors and reveals the one chosen.
    pairs = open(f, Panel::Multi);
    QStringList revealed;
    pairs->setReveal([&revealed](const QString &path) { revealed << path; });
    std::unique_ptr<QMenu> menu(pairs->contextMenu(2, 2));
    ASSERT_TRUE(menu);
    const QList<QAction *> actions = menu->actions();
    ASSERT_EQ(actions.size(), ListEditor::pathAncestors(b).size() + 3); // separator, reveal, clear
    EXPECT_EQ(actions.first()->text(), "/");
    actions.at(1)->trigger();
    EXPECT_EQ(revealed, QStringList({ListEditor::pathAncestors(b).at(1)}));
    clickCell(pairs, 2, 2, Qt::ControlModifier);
    EXPECT_EQ(revealed.last(), b);

    clickCell(pairs, 2, 1, Qt::AltModifier);
    EXPECT_EQ(pairs->table()->model()->index(2, 1).data().toString(), "");
    pairs->cancelButton()->click();
    EXPECT_EQ(f.window().currentPanel(), Panel::Console);
    EXPECT_EQ(storedRow(f, "multiArray", 2)["source"].toString(), a);
}

TEST(ListPanelsPaths, TimerDialogRefusesThenStoresAndApplyRebuildsTheSchedule)
{
    DesktopFixture f;
    f.app().launch(LaunchOptions{{}, 0});
    ScheduleMonitor &schedule = f.app().controller().schedule();
    schedule.setDaysToCover(2);
    auto *timers = open<TimerPanel>(f, Panel::Timer);

    clickCell(timers, 0, 1);
    TimerRowDialog *dialog = timers->rowDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->field(TimerRowDialog::IntervalDays)->isEnabled()) << "a one-shot timer";
    const QDate tomorrow = QDate::currentDate().addDays(1);
    const std::pair<TimerRowDialog::Field, int> values[] = {
        {TimerRowDialog::StartDay, 29}, {TimerRowDialog::StartMonth, 2}, {TimerRowDialog::StartYear, 2009},
        {TimerRowDialog::StartHour, 12}, {TimerRowDialog::StartMinute, 0}};
    for (const auto &[field, value] : values)
        dialog->field(field)->setValue(value);
    dialog->okButton()->click();
    ASSERT_EQ(f.dialogs.alerts.size(), 1);
    EXPECT_EQ(f.dialogs.alerts.last().text, "Start Day not valid.");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->field(TimerRowDialog::StartDay)->value(), 1) << "the refused day is put back";

    dialog->field(TimerRowDialog::StartYear)->setValue(tomorrow.year());
    dialog->field(TimerRowDialog::StartMonth)->setValue(tomorrow.month());
    dialog->field(TimerRowDialog::StartDay)->setValue(tomorrow.day());
    EXPECT_EQ(dialog->startWeekDayLabel()->text(), QLocale().dayName(tomorrow.dayOfWeek()));
    dialog->okButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(timers->rowDialog()) << "closed";
    EXPECT_FALSE(timers->table()->model()->index(0, 1).data().toString().isEmpty());
    EXPECT_TRUE(schedule.schedule().isEmpty()) << "nothing applied yet";

    timers->applyButton()->click();
    EXPECT_EQ(f.window().currentPanel(), Panel::Console);
    EXPECT_EQ(currentSession(f)["timerOn"].toLongLong(), 1);
    EXPECT_EQ(storedRow(f, "timerArray", 0)["valid"].toLongLong(), 1);
    ASSERT_EQ(schedule.schedule().size(), 1);
    EXPECT_EQ(schedule.schedule().entries().first().startDate, QDateTime(tomorrow, QTime(12, 0)));

    // Alt-click empties the row; Cancel keeps the stored one.
    timers = open<TimerPanel>(f, Panel::Timer);
    clickCell(timers, 0, 2, Qt::AltModifier);
    EXPECT_EQ(timers->table()->model()->index(0, 1).data().toString(), "");
    timers->cancelButton()->click();
    EXPECT_EQ(storedRow(f, "timerArray", 0)["valid"].toLongLong(), 1);
    EXPECT_EQ(schedule.schedule().size(), 1);
}

TEST(ListPanelsPaths, FilterRowEditedWithTodayAndOwnerThenAppliedWithTheMode)
{
    DesktopFixture f;
    f.app().launch(LaunchOptions{{}, 0});
    auto *filters = open<FilterPanel>(f, Panel::Filter);
    filters->modeGroup()->button(FilterListEditor::CopyMatching)->click();

    clickCell(filters, 1, 1);
    FilterRowDialog *dialog = filters->rowDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->nameField()->text(), "Filter 2");
    QWidget *month = dialog->control("filterCreationDateMonth");
    EXPECT_FALSE(month->isEnabled());
    static_cast<QCheckBox *>(dialog->control("filterCreationDateOn"))->click();
    EXPECT_TRUE(month->isEnabled());
    static_cast<QComboBox *>(dialog->control("filterCreationDatePop"))->setCurrentIndex(FilterRowForm::kIsToday);
    EXPECT_FALSE(month->isEnabled()) << "today fills the date";
    EXPECT_EQ(static_cast<NumberField *>(month)->value(), QDate::currentDate().month());

    static_cast<QCheckBox *>(dialog->control("filterOwnerOn"))->click();
    dialog->okButton()->click();
    ASSERT_EQ(f.dialogs.alerts.size(), 1);
    EXPECT_EQ(f.dialogs.alerts.last().text, "Please insert a valid Owner name or ID.");
    static_cast<QLineEdit *>(dialog->control("filterOwnerField"))->setText("root");
    dialog->okButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(filters->rowDialog());
    EXPECT_EQ(filters->table()->model()->index(1, 1).data().toString(), "CD is today - Owner name is \"root\"");

    filters->applyButton()->click();
    EXPECT_EQ(f.window().currentPanel(), Panel::Console);
    EXPECT_EQ(currentSession(f)["filterOn"].toLongLong(), 1);
    EXPECT_EQ(currentSession(f)["filterCopySkip"].toLongLong(), FilterListEditor::CopyMatching);
    EXPECT_EQ(storedRow(f, "filterArray", 1)["filterOwnerField"].toString(), "root");

    filters = open<FilterPanel>(f, Panel::Filter);
    clickCell(filters, 1, 1, Qt::AltModifier);
    EXPECT_EQ(filters->table()->model()->index(1, 1).data().toString(), "");
    filters->cancelButton()->click();
    EXPECT_EQ(storedRow(f, "filterArray", 1)["filterOwnerOn"].toLongLong(), 1);
}

TEST(ListPanelsPaths, ExcludeClickWhileOffExplainsThenADropIsAppliedAndAnotherSessionShowsItsOwn)
{
    DesktopFixture f;
    f.app().launch(LaunchOptions{{}, 0});
    f.window().GoPanel(Panel::Exclude);
    ListPanel *excludes = f.window().listPanel(Panel::Exclude);
    ASSERT_FALSE(excludes->listSwitch()->isChecked());
    clickCell(excludes, 0, 1);
    ASSERT_EQ(f.dialogs.alerts.size(), 1);
    EXPECT_EQ(f.dialogs.alerts.last().title, "The Exclude list is off:");
    EXPECT_EQ(f.dialogs.alerts.last().text,
              "In order to edit the Exclude list, mark the check-box \"" + excludes->listSwitch()->text() + "\".");

    excludes->listSwitch()->click();
    const QString item = f.home.writeFile("skip/me.txt", "x");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(item)});
    const QPoint at = cellCenter(excludes, 4, 0);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(excludes->table()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(excludes->table()->viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(excludes->table()->model()->index(4, 1).data().toString(), item);

    excludes->applyAndStayButton()->click();
    EXPECT_EQ(f.window().pages()->currentWidget(), excludes) << "Apply and Stay";
    EXPECT_EQ(currentSession(f)["excludeOn"].toLongLong(), 1);
    EXPECT_EQ(storedRow(f, "excludeArray", 4)["itemToExclude"].toString(), item);

    // Another session chosen from the pop-up: the page shows that session's list.
    f.window().chooseSession(1, false);
    EXPECT_EQ(excludes->table()->model()->index(4, 1).data().toString(), "");
    f.window().chooseSession(0, false);
    EXPECT_EQ(excludes->table()->model()->index(4, 1).data().toString(), item);

    clickCell(excludes, 4, 1, Qt::AltModifier);
    excludes->cancelButton()->click();
    EXPECT_EQ(f.window().currentPanel(), Panel::Console);
    EXPECT_EQ(storedRow(f, "excludeArray", 4)["itemToExclude"].toString(), item);
}

} // namespace
} // namespace qm
