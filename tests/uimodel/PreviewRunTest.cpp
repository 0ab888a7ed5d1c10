// Whole runs through the engine whose preview is edited with the preview's
// own model, checked on the real folders afterwards.
#include "app/AppController.h"
#include "support/Documents.h"
#include "fs/LPUtilities.h"
#include "support/TempHome.h"
#include "uimodel/PreviewModel.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace qm;
using namespace qmtest;

namespace {

class PreviewQuestions : public RunQuestions {
public:
    std::function<bool(RunPlan &)> onPreview = [](RunPlan &) { return true; };
    int previews = 0;
    int conflicts = 0;

    bool confirmRun(const RunConfirmation &) override { return true; }
    ErrorChoice errorAlert(const ErrorAlert &) override { return ErrorChoice::Continue; }
    ConflictReply askConflict(const ConflictQuestion &) override
    {
        ++conflicts;
        return ConflictReply{};
    }
    bool showPreview(RunPlan &plan) override
    {
        ++previews;
        return onPreview(plan);
    }
    void beep() override {}
};

// The row of the first task reached by names ("dir/x.txt"); invalid when absent.
QModelIndex rowAt(const PreviewModel &m, const QString &names)
{
    QModelIndex at = m.index(0, 0);
    for (const QString &name : names.split('/')) {
        QModelIndex found;
        for (int r = 0; r < m.rowCount(at) && !found.isValid(); ++r)
            if (m.index(r, 0, at).data().toString() == name || m.index(r, 2, at).data().toString() == name)
                found = m.index(r, 0, at);
        if (!found.isValid())
            return {};
        at = found;
    }
    return at;
}

int modeAt(const PreviewModel &m, const QString &names)
{
    const QModelIndex i = rowAt(m, names);
    return i.isValid() ? i.data(PreviewModel::CopyModeRole).toInt() : 0;
}

class PreviewRun : public ::testing::Test {
protected:
    TempHome home;
    QString a, b, logs;
    PreviewQuestions questions;
    std::unique_ptr<AppController> controller;
    // An hour ago: older than any run's start, so no file looks changed by it.
    const QDateTime past = QDateTime::currentDateTime().addSecs(-3600);

    void SetUp() override
    {
        a = home.path() + "/A";
        b = home.path() + "/B";
        logs = home.path() + "/Logs";
        QDir().mkpath(a);
        QDir().mkpath(b);
        StartupOptions options;
        options.resourcesDir = QStringLiteral(QM_SOURCE_DIR "/resources");
        StartedApp app;
        ASSERT_TRUE(Startup::run(options, &app).ok);
        app.prefs["prefPreview"] = 1;
        app.prefs["prefSaveLogFile"] = 1;
        app.prefs["prefSaveLogFileWhen"] = 1; // after every run
        app.prefs["prefLogFileFormat"] = 2;
        app.prefs["prefPathLogFolder"] = logs;
        controller = std::make_unique<AppController>(std::move(app), questions);
    }

    // A synchronization (exact or not) of A and B whose conflicts are not
    // looked for: each test decides every operation itself.
    void openSession(bool exact)
    {
        const QString doc = writeSession(home.path() + "/doc.qmy", 0,
                                         {{"topFolder", a}, {"bottomFolder", b}, {"settTask", 1},
                                          {"settExact", exact ? 1 : 0}, {"conflictSyncRadio", 2},
                                          {"conflictSyncAsk", 0}, {"conflictExactSyncRadio", 2},
                                          {"conflictExactSyncAsk", 0}});
        QString why;
        ASSERT_TRUE(controller->openDocument(doc, &why)) << why.toStdString();
        ASSERT_TRUE(controller->setSessionIndex(0));
    }

    // The Execute button, then the whole run.
    void runOnce()
    {
        QEventLoop loop;
        QObject::connect(&controller->feedback(), &RunFeedback::runEnded, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        controller->run().TaskExecuteSyncOrBackup();
        ASSERT_TRUE(controller->run().isRunning());
        loop.exec();
        controller->run().waitForRun();
    }

    void write(const QString &path, const QByteArray &content, const QDateTime &mtime)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.flush(); // the time set below must outlive the write
        f.setFileTime(mtime, QFileDevice::FileModificationTime);
    }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static bool exists(const QString &path) { return QFileInfo::exists(path); }
    static QStringList filesIn(const QString &folder)
    {
        QStringList names;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            names.append(it.next());
        return names;
    }
};

TEST_F(PreviewRun, TheCopyDoesWhatTheEditedPreviewShows)
{
    write(a + "/new.txt", "new", past);
    write(a + "/kept-back.txt", "kept back", past);
    write(a + "/sub/deep.txt", "deep", past);
    write(a + "/sub/other.txt", "other", past);
    write(b + "/only-b.txt", "only b", past);
    write(a + "/both.txt", "A's newer text", past.addSecs(60));
    write(b + "/both.txt", "B's older text", past);
    openSession(false);

    PlanCounters seen;
    questions.onPreview = [&](RunPlan &plan) {
        PreviewModel model(plan);
        EXPECT_EQ(modeAt(model, "both.txt"), CopyMode::ReplaceB);
        EXPECT_EQ(modeAt(model, "only-b.txt"), CopyMode::CopyBToA);
        EXPECT_TRUE(model.toggle(rowAt(model, "kept-back.txt")));
        EXPECT_TRUE(model.toggle(rowAt(model, "sub/deep.txt")));
        EXPECT_TRUE(model.toggle(rowAt(model, "only-b.txt")));
        EXPECT_TRUE(model.reverseDirection(rowAt(model, "both.txt")));
        seen = plan.counters;
        return true;
    };
    runOnce();
    ASSERT_EQ(questions.previews, 1);
    EXPECT_EQ(seen.itemsToDoSkip, 3);
    EXPECT_EQ(seen.itemsToDoAtoB, 3); // new.txt, sub, sub/other.txt
    EXPECT_EQ(seen.itemsToDoBtoA, 1); // both.txt, reversed
    EXPECT_EQ(seen.globalItemsToDo, 4);

    EXPECT_EQ(read(b + "/new.txt"), "new");
    EXPECT_EQ(read(b + "/sub/other.txt"), "other");
    EXPECT_FALSE(exists(b + "/kept-back.txt"));
    EXPECT_FALSE(exists(b + "/sub/deep.txt"));
    EXPECT_FALSE(exists(a + "/only-b.txt"));
    EXPECT_EQ(read(a + "/both.txt"), "B's older text"); // B replaced A, as reversed
    EXPECT_EQ(read(b + "/both.txt"), "B's older text");
    EXPECT_EQ(controller->run().records().globalError, 0);
    EXPECT_EQ(filesIn(logs).size(), 1); // this run's log was saved
}

TEST_F(PreviewRun, StopInThePreviewCopiesNothingAndWritesNoLogNorIndex)
{
    write(a + "/one.txt", "1", past);
    write(a + "/dir/two.txt", "2", past);
    write(b + "/three.txt", "3", past);
    openSession(true);
    questions.onPreview = [](RunPlan &) { return false; };
    runOnce();
    ASSERT_EQ(questions.previews, 1);
    EXPECT_EQ(filesIn(b), QStringList{b + "/three.txt"});
    EXPECT_FALSE(exists(b + "/dir"));
    EXPECT_EQ(filesIn(a).size(), 2);
    EXPECT_TRUE(filesIn(logs).isEmpty());
    EXPECT_TRUE(controller->run().records().abandonedInPreview);
    EXPECT_TRUE(filesIn(controller->paths().exactSyncIndexFolder).filter("QM3ExactSyncIndex ").isEmpty());
}

// A deletion the user refused in the preview stays recorded as existing on
// the side where it was deleted: the next exact synchronization proposes
// the same deletion again instead of copying the item back. The item is
// lost on B (its deletion from A is proposed) or on A.
class SwitchedOffDeletion : public PreviewRun, public ::testing::WithParamInterface<bool> {};

TEST_P(SwitchedOffDeletion, IsProposedAgain)
{
    const bool lostOnB = GetParam();
    const QString &kept = lostOnB ? a : b, &lost = lostOnB ? b : a;
    const int remove = lostOnB ? CopyMode::RemoveA : CopyMode::RemoveB;
    write(a + "/file.txt", "f", past);
    write(a + "/dir/x.txt", "x", past);
    write(a + "/dir/y.txt", "y", past);
    write(a + "/stays.txt", "s", past);
    openSession(true);
    runOnce(); // the first exact synchronization makes the index
    ASSERT_EQ(read(b + "/dir/y.txt"), "y");

    QFile::remove(lost + "/file.txt");
    QDir(lost + "/dir").removeRecursively();
    questions.onPreview = [&](RunPlan &plan) {
        PreviewModel model(plan);
        EXPECT_EQ(modeAt(model, "file.txt"), remove);
        EXPECT_EQ(modeAt(model, "dir/y.txt"), remove);
        EXPECT_TRUE(model.toggle(rowAt(model, "file.txt")));
        EXPECT_TRUE(model.toggle(rowAt(model, "dir/x.txt"))); // keeps dir too
        EXPECT_EQ(modeAt(model, "dir"), -remove);
        return true;
    };
    runOnce();
    EXPECT_EQ(read(kept + "/file.txt"), "f");
    EXPECT_EQ(read(kept + "/dir/x.txt"), "x");
    EXPECT_FALSE(exists(kept + "/dir/y.txt"));
    EXPECT_FALSE(exists(lost + "/file.txt"));
    EXPECT_FALSE(exists(lost + "/dir"));

    QMap<QString, int> proposed;
    questions.onPreview = [&](RunPlan &plan) {
        PreviewModel model(plan);
        for (const char *name : {"file.txt", "dir", "dir/x.txt", "stays.txt"})
            proposed[name] = modeAt(model, name);
        return true;
    };
    runOnce();
    EXPECT_EQ(proposed["file.txt"], remove);
    EXPECT_EQ(proposed["dir"], remove);
    EXPECT_EQ(proposed["dir/x.txt"], remove);
    EXPECT_EQ(proposed["stays.txt"], 0); // not in the plan
    EXPECT_FALSE(exists(kept + "/file.txt"));
    EXPECT_FALSE(exists(kept + "/dir"));
    EXPECT_EQ(read(b + "/stays.txt"), "s");
    EXPECT_EQ(questions.conflicts, 0);
}

INSTANTIATE_TEST_SUITE_P(PreviewRun, SwitchedOffDeletion, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "LostOnB" : "LostOnA"; });

} // namespace
