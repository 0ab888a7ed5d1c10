#include "support/DocumentFakes.h"
#include "app/DocumentLifecycle.h"
#include "app/SessionCommands.h"
#include "platform/PropertyList.h"
#include "support/Documents.h"
#include "support/Files.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using qm::DocumentLifecycle;
using qm::TerminateReply;
using Save = qm::DocumentQuestions::SaveAnswer;

namespace {

void setFlag(QVariantMap *doc, int session, const char *key, qlonglong value)
{
    qmtest::setSession(doc, session, qmtest::merged(qmtest::sessionAt(*doc, session), {{key, value}}));
}

qlonglong flag(const QVariantMap &doc, int session, const char *key)
{
    return qmtest::sessionAt(doc, session).value(key).toLongLong();
}

class Lifecycle : public ::testing::Test {
protected:
    Lifecycle() : paths(qm::AppPaths::fromEnvironment())
    {
        QDir().mkpath(paths.prefFolder);
        life.finishLaunching();
    }

    // A document file as the program writes it; `version` other than 354 as an older one would.
    QString file(const QString &name, qlonglong exact = 1, qlonglong version = 354)
    {
        QVariantMap doc = qm::SessionDocument::NewTemplate();
        setFlag(&doc, 0, "settExact", exact);
        doc.insert("fileVersion", version);
        QString error;
        EXPECT_TRUE(qm::PropertyList::write(home.path() + '/' + name, doc, &error));
        return home.path() + '/' + name;
    }
    QVariantMap &doc() { return life.document(); }

    qmtest::TempHome home;
    qm::AppPaths paths;
    qmtest::ScriptedQuestions questions;
    qmtest::CountingHooks hooks;
    bool running = false;
    DocumentLifecycle life{paths, qm::SessionDocument::NewTemplate(), questions, &hooks,
                           [this] { return running; }};
};

TEST_F(Lifecycle, UnsavedChangesAreDifferencesOfTheWrittenForms)
{
    // The template restored at launch is never asked about.
    setFlag(&doc(), 0, "settExact", 1);
    EXPECT_FALSE(life.isDocumentToBeSaved());

    // Untitled: compared with a new document.
    ASSERT_TRUE(life.FileNew());
    EXPECT_FALSE(life.isDocumentToBeSaved());
    setFlag(&doc(), 1, "settMoveToTrash", 1);
    EXPECT_TRUE(life.isDocumentToBeSaved());
    setFlag(&doc(), 1, "settMoveToTrash", 0);
    EXPECT_FALSE(life.isDocumentToBeSaved());

    // Saved: compared with its file.
    ASSERT_TRUE(life.openFile(file("Saved.qmy")).ok);
    EXPECT_FALSE(life.isDocumentToBeSaved());
    setFlag(&doc(), 0, "settExact", 0);
    EXPECT_TRUE(life.isDocumentToBeSaved());
    EXPECT_FALSE(QFile::exists(paths.saveDocTest1) || QFile::exists(paths.saveDocTest2));

    // Read from an older version (so repaired): changed at once, and testing
    // does not stamp the version into the document.
    questions.saves = {Save::DontSave, Save::DontSave};
    ASSERT_TRUE(life.openFile(file("Old.qmy", 1, 353)).ok);
    EXPECT_TRUE(life.isDocumentToBeSaved());
    EXPECT_EQ(doc().value("fileVersion").toLongLong(), 353);

    // When the test file cannot be written the document counts as changed.
    ASSERT_TRUE(life.openFile(file("Saved.qmy")).ok);
    ASSERT_TRUE(QDir().mkpath(paths.saveDocTest1));
    EXPECT_TRUE(life.isDocumentToBeSaved());
}

TEST(FileComparison, ComparesEveryBlockAndTheLengths)
{
    qmtest::TempHome home;
    QByteArray big(3 * 262144 + 17, 'x'), late = big;
    late[2 * 262144 + 5] = 'y';
    const QString a = home.writeFile("a", big);
    EXPECT_TRUE(DocumentLifecycle::IsFileEqualToFile(a, home.writeFile("same", big)));
    EXPECT_FALSE(DocumentLifecycle::IsFileEqualToFile(a, home.writeFile("late", late)));
    EXPECT_FALSE(DocumentLifecycle::IsFileEqualToFile(a, home.writeFile("short", big.chopped(1))));
    EXPECT_TRUE(DocumentLifecycle::IsFileEqualToFile(home.writeFile("e1", {}), home.writeFile("e2", {})));
    EXPECT_FALSE(DocumentLifecycle::IsFileEqualToFile(a, home.path() + "/missing"));
}

TEST_F(Lifecycle, QuitAsksAboutChangesOrAboutTheRun)
{
    EXPECT_EQ(life.applicationShouldTerminate(), TerminateReply::Now); // the template
    ASSERT_TRUE(life.FileNew());
    setFlag(&doc(), 0, "settExact", 1);
    questions.saves = {Save::Cancel, Save::Save, Save::Save};
    questions.savePaths = {QString(), home.path() + "/Quit"};
    EXPECT_EQ(life.applicationShouldTerminate(), TerminateReply::Cancel);
    EXPECT_EQ(life.applicationShouldTerminate(), TerminateReply::Cancel); // panel cancelled
    EXPECT_EQ(life.applicationShouldTerminate(), TerminateReply::Now);
    EXPECT_EQ(life.pathDocumentFile(), home.path() + "/Quit.qmy"); // the type is required
    EXPECT_EQ(questions.asked.value(0), "Do you want to save changes to this document before closing?|"
                                        "If you don't save, your changes will be lost.");

    setFlag(&doc(), 0, "settExact", 0);
    running = true;
    questions.confirms = {false, true};
    EXPECT_EQ(life.applicationShouldTerminate(), TerminateReply::Cancel);
    EXPECT_EQ(life.applicationShouldTerminate(), TerminateReply::AfterRun);
    EXPECT_EQ(questions.asked.last(), "Do you really want to quit in the middle of the current task?");
    EXPECT_EQ(questions.asked.size(), 5);
}

TEST_F(Lifecycle, RefusedFileKeepsTheOpenDocumentWithoutAsking)
{
    const QString good = file("Good.qmy");
    const QString damaged = home.writeFile("Damaged.qmy", "<?xml version=\"1.0\"?><plist><dict><key>");
    const QString newer = file("Newer.qmy", 1, 355);
    ASSERT_TRUE(life.openFile(good).ok);
    setFlag(&doc(), 1, "settExact", 1);
    const QVariantMap before = doc();
    const auto letGo = hooks.letGo;
    hooks.active = true;

    for (const QString &path : {damaged, newer, home.path() + "/Missing.qmy", home.path()}) {
        const DocumentLifecycle::OpenResult r = life.openFile(path);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.message.startsWith("Can't open the file\r\"" + path + "\"\r")) << r.message.toStdString();
    }
    EXPECT_EQ(doc(), before);
    EXPECT_EQ(life.pathDocumentFile(), good);
    EXPECT_EQ(life.windowTitle(), "Good");
    EXPECT_TRUE(life.isDocumentOpen() && life.isDocumentSaved());
    EXPECT_EQ(hooks.letGo, letGo);
    EXPECT_TRUE(questions.asked.isEmpty());
    EXPECT_TRUE(hooks.active);
    // Only the newer version alerts.
    ASSERT_EQ(questions.warnings.size(), 1);
    EXPECT_TRUE(questions.warnings[0].endsWith("because it has been created by a higher version."));
}

TEST_F(Lifecycle, OpenLetsAChangedDocumentGoAsTheUserSays)
{
    const QString first = file("First.qmy", 0), second = file("Second.qmy", 0);
    ASSERT_TRUE(life.openFile(first).ok);
    setFlag(&doc(), 0, "settExact", 1);
    questions.saves = {Save::Cancel, Save::Save};
    EXPECT_FALSE(life.openFile(first).ok);
    EXPECT_EQ(flag(doc(), 0, "settExact"), 1);
    // Reopening the same file after saving it shows what was just saved.
    ASSERT_TRUE(life.openFile(first).ok);
    EXPECT_EQ(flag(doc(), 0, "settExact"), 1);
    EXPECT_FALSE(life.isDocumentToBeSaved());
    ASSERT_TRUE(life.openFile(second).ok);
    EXPECT_EQ(life.windowTitle(), "Second");
    EXPECT_EQ(life.recentDocuments().paths(), QStringList({second, first}));
}

TEST_F(Lifecycle, FileHandedOverDuringLaunchOpensWhenLaunchingEnds)
{
    DocumentLifecycle early(paths, qm::SessionDocument::NewTemplate(), questions, &hooks, {});
    const QString path = file("Early.qmy");
    EXPECT_TRUE(early.openFile(path).deferred);
    EXPECT_TRUE(early.isDocumentTemplate());
    EXPECT_TRUE(early.finishLaunching().ok);
    EXPECT_EQ(early.pathDocumentFile(), path);
}

TEST_F(Lifecycle, EveryDocumentCommandRefusesDuringARun)
{
    const QString path = file("Busy.qmy");
    ASSERT_TRUE(life.openFile(path).ok);
    setFlag(&doc(), 0, "settExact", 0);
    const QVariantMap before = doc();
    running = true;
    questions.saves = {Save::DontSave};
    questions.savePaths = {home.path() + "/Other.qmy"};
    questions.confirms = {true};

    EXPECT_FALSE(life.FileNew());
    EXPECT_FALSE(life.openFile(file("Other.qmy")).ok);
    EXPECT_FALSE(life.SaveAFile() || life.FileSaveAs() || life.revertToSaved());
    EXPECT_FALSE(life.DoFileClose(true));
    EXPECT_EQ(questions.beeps, 1);
    EXPECT_FALSE(life.isEnabled(qm::DocumentCommand::New) || life.isEnabled(qm::DocumentCommand::Save));
    EXPECT_EQ(doc(), before);
    EXPECT_EQ(life.pathDocumentFile(), path);
    EXPECT_EQ(flag(qm::SessionDocument::ReadFileSession(path).doc, 0, "settExact"), 1);
    EXPECT_TRUE(questions.asked.isEmpty() && questions.panels.isEmpty());
}

TEST_F(Lifecycle, NewAndCloseLetTheDocumentGo)
{
    ASSERT_TRUE(life.openFile(file("Doc.qmy")).ok);
    setFlag(&doc(), 0, "settExact", 0);
    questions.saves = {Save::Cancel, Save::DontSave, Save::DontSave};
    EXPECT_FALSE(life.FileNew());
    ASSERT_TRUE(life.FileNew());
    EXPECT_EQ(doc(), qm::SessionDocument::NewTemplate());
    EXPECT_EQ(life.windowTitle(), "Untitled");
    EXPECT_FALSE(life.isDocumentSaved());

    setFlag(&doc(), 0, "settExact", 1);
    ASSERT_TRUE(life.windowShouldClose());
    EXPECT_EQ(hooks.letGo.last(), true);
    EXPECT_FALSE(life.isDocumentOpen());
    EXPECT_EQ(life.applicationShouldTerminate(), TerminateReply::Now);
    // The last document still goes to the template path at quit.
    ASSERT_TRUE(life.writeTemplate().ok);
    EXPECT_EQ(flag(qm::SessionDocument::readTemplate(paths.templateFile), 0, "settExact"), 1);
}

TEST_F(Lifecycle, SaveSaveAsAndRevertRoundTrip)
{
    ASSERT_TRUE(life.FileNew());
    setFlag(&doc(), 0, "settExact", 1);
    questions.savePaths = {home.path() + "/Mine", home.path() + "/Copy.qmy"};
    ASSERT_TRUE(life.SaveAFile());
    const QString mine = home.path() + "/Mine.qmy";
    EXPECT_EQ(life.windowTitle(), "Mine");
    setFlag(&doc(), 1, "settExact", 1);
    ASSERT_TRUE(life.SaveAFile()); // no panel now
    EXPECT_EQ(qm::SessionDocument::ReadFileSession(mine).doc, doc());
    ASSERT_TRUE(life.FileSaveAs());
    EXPECT_EQ(questions.panels, QStringList({home.path() + "|Untitled", home.path() + "|Mine"}));
    EXPECT_EQ(life.windowTitle(), "Copy");

    const QVariantMap saved = doc();
    EXPECT_FALSE(life.revertToSaved()); // nothing to revert, nothing asked
    setFlag(&doc(), 0, "settExact", 0);
    questions.confirms = {false, true, true};
    EXPECT_FALSE(life.revertToSaved());
    EXPECT_EQ(flag(doc(), 0, "settExact"), 0);
    ASSERT_TRUE(life.revertToSaved());
    EXPECT_EQ(doc(), saved);

    // A file damaged since: the changes stay and the user is told.
    setFlag(&doc(), 0, "settExact", 0);
    home.writeFile("Copy.qmy", "not a property list");
    EXPECT_FALSE(life.revertToSaved());
    EXPECT_EQ(flag(doc(), 0, "settExact"), 0);
    EXPECT_EQ(questions.warnings.size(), 1);
}

TEST_F(Lifecycle, FailedSaveKeepsThePreviousFileWholeAndTheDocumentUnsaved)
{
    const QString path = file("Whole.qmy");
    const QByteArray before = qmtest::bytesOf(path);
    ASSERT_TRUE(life.openFile(path).ok);
    for (int i = 0; i < 6; ++i)
        qm::SessionDocument::AddSession(2, QString("Extra %1").arg(i), &doc());

    // A file-size limit makes the write fail part-way.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = old;
    tiny.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool saved = life.SaveAFile();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(qmtest::bytesOf(path), before);
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), QStringList{"Whole.qmy"});
    EXPECT_EQ(questions.warnings, QStringList{"Can't write the file \"" + path + "\" to the disk."});
    EXPECT_TRUE(life.isDocumentToBeSaved());
}

TEST_F(Lifecycle, SessionCommandsFollowTheDocumentAcrossOpen)
{
    qm::SessionCommands commands(doc(), questions, &hooks, [this] { return running; });
    ASSERT_TRUE(life.openFile(file("Sessions.qmy")).ok);
    questions.typed = {"Session 3"};
    ASSERT_TRUE(commands.newSession().done());
    EXPECT_EQ(qm::SessionDocument::sessionCount(doc()), 3);
    EXPECT_TRUE(life.isDocumentToBeSaved());
}

TEST_F(Lifecycle, RecentDocumentsKeepTheLatestTenOnceEach)
{
    qm::RecentDocuments recent(paths);
    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(recent.add(home.path() + QString("/d%1.qmy").arg(i)));
    ASSERT_TRUE(recent.add(home.path() + "/d5.qmy"));
    const QStringList list = recent.paths();
    ASSERT_EQ(list.size(), 10);
    EXPECT_EQ(list.mid(0, 2), QStringList({home.path() + "/d5.qmy", home.path() + "/d11.qmy"}));
    EXPECT_EQ(list.count(home.path() + "/d5.qmy"), 1);
    // Already first: the stored list is left as it is, not written again.
    const QString stored = paths.prefFolder + "/" + qm::RecentDocuments::fileName();
    const QFileInfo before(stored);
    ASSERT_TRUE(QFile::setPermissions(stored, QFile::ReadOwner));
    EXPECT_TRUE(recent.add(home.path() + "/d5.qmy"));
    EXPECT_EQ(QFileInfo(stored).permissions() & (QFile::ReadOwner | QFile::WriteOwner), QFile::ReadOwner);
    EXPECT_EQ(recent.paths(), list);
    ASSERT_TRUE(QFile::setPermissions(stored, before.permissions()));
    // A damaged list is an empty one, replaced by the next addition.
    home.writeFile(".config/Quillmere/" + qm::RecentDocuments::fileName(), "garbage");
    EXPECT_TRUE(recent.paths().isEmpty());
    ASSERT_TRUE(recent.add(home.path() + "/x.qmy"));
    EXPECT_EQ(recent.paths(), QStringList{home.path() + "/x.qmy"});
}

} // namespace
