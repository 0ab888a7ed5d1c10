// The preview, the conflict dialog and the log window as real widgets,
// offscreen; every modal box is answered by a click, never waited on.
#include "../uimodel/PlanBuilder.h"
#include "report/LogFiles.h"
#include "ui/ConflictDialog.h"
#include "ui/LogWindow.h"
#include "ui/PreviewWindow.h"
#include "uimodel/LogLinesModel.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace qm;
using namespace qmtest;

namespace {

struct ButtonCase {
    int kind, mode, directionPresses;
    ConflictDialogModel::Button button;
    int code;
    ConflictReply reply;
};

TEST(ConflictDialogWidget, EveryButtonEndsTheDialogWithItsAnswer)
{
    using B = ConflictDialogModel::Button;
    using C = ConflictReply::Choice;
    const ButtonCase cases[] = {
        {31, 4, 0, B::Replace, 100, {C::Carry, false}}, {31, 4, 1, B::Replace, -100, {C::Carry, true}},
        {31, 5, 2, B::Replace, 100, {C::Carry, false}}, {31, 4, 1, B::Skip, -99, {C::Skip, false}},
        {11, 4, 0, B::Skip, 99, {C::Skip, false}},      {21, 7, 0, B::Stop, 98, {C::Stop, false}},
        {41, 6, 0, B::Replace, 100, {C::Carry, false}}, {42, 7, 0, B::Skip, 99, {C::Skip, false}},
    };
    for (const ButtonCase &c : cases) {
        ConflictDialog dialog(ConflictQuestion{"/nowhere/a", "/nowhere/b", std::nullopt, c.mode, c.kind, true,
                                               c.kind == 31});
        dialog.open();
        EXPECT_EQ(dialog.directionButton()->isVisibleTo(&dialog), c.kind == 31);
        for (int i = 0; i < c.directionPresses; ++i)
            dialog.directionButton()->click();
        QPushButton *button = c.button == B::Replace ? dialog.okButton()
                              : c.button == B::Skip  ? dialog.skipButton()
                                                     : dialog.stopButton();
        button->click();
        const std::string what = "kind " + std::to_string(c.kind) + " code " + std::to_string(c.code);
        EXPECT_FALSE(dialog.isVisible()) << what;
        EXPECT_EQ(dialog.result(), c.code) << what;
        EXPECT_TRUE(dialog.reply() == c.reply) << what;
    }
}

TEST(ConflictDialogWidget, AskAnswersFromTheModalDialogAndInspectsTheKeptSide)
{
    QTemporaryDir dir;
    const QString kept = dir.path() + "/kept.txt";
    QFile(kept).open(QIODevice::WriteOnly);
    const ConflictQuestion q{kept, dir.path() + "/deleted.txt", QDateTime::currentDateTime(), CopyMode::RemoveA,
                             41, true, false};
    QStringList opened;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<ConflictDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Delete File");
        EXPECT_TRUE(dialog->explanation().contains('\n'));
        EXPECT_FALSE(dialog->explanation().contains('\r'));
        EXPECT_TRUE(dialog->inspectSourceButton()->isEnabled());
        EXPECT_FALSE(dialog->inspectDestButton()->isEnabled());
        dialog->openFile = [&](const QString &path) { opened.append(path); };
        dialog->inspectSourceButton()->click();
        dialog->skipButton()->click();
    });
    const ConflictReply reply = ConflictDialog::ask(q);
    EXPECT_EQ(reply.choice, ConflictReply::Choice::Skip);
    EXPECT_EQ(opened, QStringList{kept});
}

class PreviewWidget : public ::testing::Test {
protected:
    QTemporaryDir dir;
    int beeps = 0;
    QStringList revealed, alerts;

    void hook(PreviewWindow &w)
    {
        w.beep = [this] { ++beeps; };
        w.revealItem = [this](const QString &p) { revealed.append(p); };
        w.openFile = [this](const QString &p) { revealed.append("open " + p); };
        w.alert = [this](const QString &title, const QString &) { alerts.append(title); };
    }
    static void clickCell(PreviewWindow &w, const QModelIndex &index, Qt::KeyboardModifiers modifiers)
    {
        const QRect rect = w.outline()->visualRect(index);
        ASSERT_TRUE(rect.isValid());
        QTest::mouseClick(w.outline()->viewport(), Qt::LeftButton, modifiers, rect.center());
    }
};

TEST_F(PreviewWidget, ContinueAndStopEndTheRun)
{
    for (bool go : {true, false}) {
        RunPlan plan = planOf({"a2 b6*"});
        QTimer::singleShot(0, [go] {
            auto *w = qobject_cast<PreviewWindow *>(QApplication::activeModalWidget());
            ASSERT_NE(w, nullptr);
            (go ? w->continueButton() : w->stopButton())->click();
        });
        EXPECT_EQ(PreviewWindow::run(plan), go);
    }
    RunPlan plan = planOf({"a2"});
    PreviewWindow closed(plan);
    closed.open();
    closed.reject(); // Escape or the close box
    EXPECT_EQ(closed.result(), PreviewWindow::StopCode);
}

TEST_F(PreviewWidget, ClicksOnTheOperationColumnEditThePlan)
{
    RunPlan plan = planOf({"r4 d6*[x6*]"});
    PreviewWindow w(plan);
    hook(w);
    w.show();
    PreviewModel &m = *w.model();
    const QModelIndex root = m.index(0, 0);
    w.outline()->expandAll();
    const QModelIndex r = m.index(0, PreviewModel::OperationColumn, root);
    const QModelIndex x = m.index(0, PreviewModel::OperationColumn, m.index(1, 0, root));
    EXPECT_EQ(w.counterText(5), "3");

    clickCell(w, r, Qt::AltModifier);
    EXPECT_EQ(r.data(PreviewModel::CopyModeRole).toInt(), CopyMode::ReplaceA);
    EXPECT_EQ(w.counterText(3), "0"); // A to B
    EXPECT_EQ(w.counterText(4), "1"); // B to A
    clickCell(w, x, Qt::NoModifier);
    EXPECT_EQ(x.data(PreviewModel::CopyModeRole).toInt(), -CopyMode::RemoveA);
    EXPECT_EQ(m.index(1, 0, root).data(PreviewModel::CopyModeRole).toInt(), -CopyMode::RemoveA);
    EXPECT_EQ(w.counterText(1), "2");
    EXPECT_EQ(w.counterText(5), "1");
    EXPECT_EQ(plan.addToExactIndex[0].size(), 2);
    EXPECT_EQ(w.outline()->currentIndex().row(), x.row());
    // Alt-click on what is no replacement: a beep and no change.
    clickCell(w, x, Qt::AltModifier);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(x.data(PreviewModel::CopyModeRole).toInt(), -CopyMode::RemoveA);
    EXPECT_EQ(w.result(), 0); // still open
}

TEST_F(PreviewWidget, InfoBoxesOpenAndReveal)
{
    const QString a = dir.path() + "/A", b = dir.path() + "/B";
    QDir().mkpath(a);
    QDir().mkpath(b);
    QFile f(a + "/f.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("12345");
    f.close();
    RunPlan plan = planOf({"f2"});
    plan.itemsToCopy[0].setFullPaths(a, b);
    plan.itemsToCopy[0].subItems[0].name = "f.txt";
    PreviewWindow w(plan);
    hook(w);
    w.show();
    EXPECT_EQ(w.infoText(true, 0), "--");
    w.openSide(true);
    EXPECT_EQ(alerts, QStringList{"Item not selected:"});

    const QModelIndex row = w.model()->index(0, 0, w.model()->index(0, 0));
    w.outline()->expand(row.parent());
    w.outline()->setCurrentIndex(row);
    EXPECT_EQ(w.infoText(true, 0), "f.txt");
    EXPECT_EQ(w.infoText(true, 3), "5 bytes");
    EXPECT_EQ(w.infoText(false, 0), "--"); // not copied yet
    w.openSide(true);
    w.revealSide(false); // no destination item: a beep
    clickCell(w, row.siblingAtColumn(PreviewModel::SourceColumn), Qt::ControlModifier);
    clickCell(w, row.siblingAtColumn(PreviewModel::DestColumn), Qt::ControlModifier);
    EXPECT_EQ(revealed, (QStringList{"open " + a + "/f.txt", a + "/f.txt"}));
    EXPECT_EQ(beeps, 2);
}

TEST(LogWindowWidget, ShowsTheLogAndWalksItsErrors)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/QMLog_2026_12_07_18_00_00.rtf";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(rtfDocument("Start\r√ Can't copy \"/a\"\rok\r√ Can't delete \"/b\"\r"));
    f.close();
    LogWindow w;
    int beeps = 0;
    QStringList alerts;
    w.beep = [&] { ++beeps; };
    w.alert = [&](const QString &, const QString &message) { alerts.append(message); };

    w.WindowOpenLog(path, "unused");
    ASSERT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), "QMLog_2026_12_07_18_00_00.rtf");
    w.nextButton()->click();
    EXPECT_EQ(w.selectedLinesText(), "√ Can't copy \"/a\"");
    w.nextButton()->click();
    EXPECT_EQ(w.selectedLinesText(), "√ Can't delete \"/b\"");
    w.nextButton()->click(); // wraps round
    EXPECT_EQ(w.selectedLinesText(), "√ Can't copy \"/a\"");
    w.previousButton()->click();
    EXPECT_EQ(w.selectedLinesText(), "√ Can't delete \"/b\"");
    EXPECT_EQ(w.linesView()->currentIndex().row(), 3);

    // Ctrl+C copies the selected lines, in their order, one line each.
    QItemSelectionModel *selection = w.linesView()->selectionModel();
    selection->select(w.linesModel()->index(0), QItemSelectionModel::Select);
    selection->select(w.linesModel()->index(1), QItemSelectionModel::Select);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(w.linesView(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Start\n√ Can't copy \"/a\"\n√ Can't delete \"/b\"");
    // The search goes on from the current line, wrapping round.
    w.nextButton()->click();
    EXPECT_EQ(w.selectedLinesText(), "√ Can't copy \"/a\"");

    // The end of a run refills a shown window: here from the last run's log.
    w.refreshAtRunEnd(dir.path() + "/none.rtf", "no errors\r");
    EXPECT_EQ(w.windowTitle(), "Log Window");
    w.nextButton()->click();
    EXPECT_EQ(beeps, 1);

    const QString broken = dir.path() + "/broken.rtf";
    QFile(broken).open(QIODevice::WriteOnly);
    w.hide();
    w.OpenLogWithFileFromScheduling(broken);
    EXPECT_EQ(alerts, QStringList{"Can't open this Log file."});
    EXPECT_FALSE(w.isVisible());
    w.refreshAtRunEnd(path, QString()); // hidden: left as it is
    EXPECT_EQ(w.windowTitle(), "Log Window");
}

} // namespace
