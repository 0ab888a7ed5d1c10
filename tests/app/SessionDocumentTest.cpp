#include "app/SessionDocument.h"
#include "platform/PropertyList.h"
#include "support/Documents.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using qm::DocumentReadResult;
using qm::SessionDocument;
using Reason = DocumentReadResult::Reason;
using qmtest::bytesOf;
using qmtest::modeOf;
using qmtest::sessionAt;

namespace {

QVariant I(qlonglong v) { return QVariant(v); }

// "key=value ..." of the given keys, so one comparison reads well when it fails.
std::string fields(const QVariantMap &m, std::initializer_list<const char *> keys)
{
    QStringList out;
    for (const char *k : keys)
        out << QString::fromLatin1(k) + u'=' + (m.contains(k) ? m.value(k).toString() : "<none>");
    return out.join(u' ').toStdString();
}

QVariantList rowsOf(const QVariantMap &session, const char *key)
{
    return session.value(key).toList();
}

QVariantMap withSession(QVariantMap doc, int i, const QVariantMap &session)
{
    qmtest::setSession(&doc, i, session);
    return doc;
}

QVariantMap setRow(QVariantMap session, const char *key, int i, const QVariantMap &row)
{
    QVariantList rows = session.value(key).toList();
    rows[i] = row;
    session.insert(key, rows);
    return session;
}

// A document in the form a version before 320 wrote: check-backup-date and
// override flags, timers of the old meaning, no volume list, no scripts, no
// filter kind, owner or group fields.
QByteArray oldDocumentXml(int fileVersion)
{
    return QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>fileVersion</key><integer>%1</integer> <key>sessionIndex</key><integer>0</integer>
  <key>sessionsArray</key><array><dict>
    <key>sessionName</key><string>Photos</string> <key>settTask</key><integer>2</integer>
    <key>topFolder</key><string>/home/u/Photos</string> <key>settExact</key><integer>1</integer>
    <key>settCheckBackupDate</key><integer>0</integer> <key>settOverride</key><integer>1</integer>
    <key>settMoveToTrash</key><integer>1</integer> <key>settCPOn</key><integer>1</integer>
    <key>conflictSyncRadio</key><integer>3</integer> <key>conflictBackupRadio</key><integer>3</integer>
    <key>timerOn</key><integer>1</integer>
    <key>timerArray</key><array><dict><key>valid</key><integer>1</integer>
      <key>start</key><date>2003-05-01T08:00:00Z</date><key>end</key><date>2003-05-01T08:00:00Z</date>
    </dict></array>
    <key>multiArray</key><array>
      <dict><key>onOff</key><integer>5</integer><key>source</key><string>/a</string></dict>
      <dict><key>onOff</key><integer>1</integer><key>source</key><string>/c</string></dict>
    </array>
    <key>filterArray</key><array><dict><key>filterNameField</key><string>Images</string>
      <key>filterKindOn</key><integer>1</integer></dict></array>
    <key>excludeArray</key><array><dict><key>itemToExclude</key><string>/home/u/Photos/cache</string></dict></array>
  </dict></array>
</dict></plist>
)")
        .arg(fileVersion)
        .toUtf8();
}

class DocumentFiles : public ::testing::Test {
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString write(const QString &name, const QByteArray &bytes) const
    {
        EXPECT_TRUE(qmtest::writeBytes(path(name), bytes));
        return path(name);
    }
    QString templatePath() const { return path(SessionDocument::templateFileName()); }

    QTemporaryDir m_dir;
};

} // namespace

TEST(NewDocument, HoldsASyncThenABackupSessionWithFullRowLists)
{
    QVariantMap doc = SessionDocument::NewTemplate();
    EXPECT_EQ(fields(doc, {"fileVersion", "sessionIndex"}), "fileVersion=354 sessionIndex=0");
    ASSERT_EQ(SessionDocument::sessionCount(doc), 2);
    EXPECT_EQ(fields(sessionAt(doc, 0), {"sessionName", "settTask"}), "sessionName=Default Sync Session settTask=1");
    EXPECT_EQ(fields(sessionAt(doc, 1), {"sessionName", "settTask"}), "sessionName=Default Backup Session settTask=2");

    SessionDocument::AddSession(2, "Third", &doc);
    ASSERT_EQ(SessionDocument::sessionCount(doc), 3);
    const QVariantMap s = sessionAt(doc, 2);
    EXPECT_EQ(s.value("sessionName").toString(), "Third");
    for (const char *key : {"timerArray", "multiArray", "filterArray", "excludeArray"})
        EXPECT_EQ(rowsOf(s, key).size(), 32) << key;
    ASSERT_EQ(rowsOf(s, "autoMountVolumeArray").size(), 64);
    // The icon belongs to repaired and filled volume rows only.
    EXPECT_FALSE(rowsOf(s, "autoMountVolumeArray").first().toMap().contains("volumeIcon"));
    const QDateTime unset(QDate(2004, 1, 1), QTime(0, 0), Qt::LocalTime);
    for (const QVariant &row : rowsOf(s, "timerArray"))
        EXPECT_TRUE(row.toMap().value("start") == unset && row.toMap().value("end") == unset);
}


using DocumentRoundTrip = DocumentFiles;

// The unsaved-changes test compares written forms: reading must not change a
// current document at all, and keys of a later version are kept.
TEST_F(DocumentRoundTrip, EveryKeyIncludingUnknownOnesSurvivesAndTheWrittenFormIsStable)
{
    QVariantMap doc = SessionDocument::NewTemplate();
    doc.insert("laterRootKey", "root");
    QVariantMap s = sessionAt(doc, 1);
    s.insert("settLaterFlag", I(7));
    QVariantMap filter = qm::SessionDefaults::filterRow();
    filter.insert("filterColour", "red");
    QVariantMap volume = qm::SessionDefaults::repairedVolumeRow();
    volume.insert("host", "nas.local");
    volume.insert("diskID", "/dev/sdb1");
    volume.insert("aliasData", QByteArray("\x00\x01\x02", 3));
    doc = withSession(doc, 1, setRow(setRow(s, "filterArray", 4, filter), "autoMountVolumeArray", 0, volume));

    const QString file = path("unknown.qmy");
    QByteArray written;
    for (int pass = 0; pass < 2; ++pass) {
        QVariantMap copy = doc;
        ASSERT_TRUE(SessionDocument::WriteFileSession(&copy, file, templatePath()).ok);
        if (pass == 1) {
            EXPECT_EQ(bytesOf(file), written);
        }
        written = bytesOf(file);
        const DocumentReadResult read = SessionDocument::ReadFileSession(file);
        ASSERT_TRUE(read.ok) << read.message.toStdString();
        EXPECT_EQ(read.doc, doc) << "pass " << pass;
        doc = read.doc;
    }
    EXPECT_EQ(sessionAt(doc, 1).value("settLaterFlag").toLongLong(), 7);
}


using DocumentUpgrade = DocumentFiles;

TEST_F(DocumentUpgrade, Before320TimersAreResetAndOldRulesConverted)
{
    const QDateTime before = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch());
    const DocumentReadResult read =
        SessionDocument::ReadFileSession(write("319.qmy", oldDocumentXml(319)));
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_TRUE(read.ok) << read.message.toStdString();
    const QVariantMap s = sessionAt(read.doc, 0);

    EXPECT_EQ(s.value("timerOn").toLongLong(), 0);
    const QVariantList timers = rowsOf(s, "timerArray");
    ASSERT_EQ(timers.size(), 32);
    const QDateTime stamp = timers[0].toMap().value("start").toDateTime();
    EXPECT_TRUE(stamp >= before && stamp <= after);
    for (const QVariant &t : timers) {
        EXPECT_EQ(t.toMap().value("valid").toLongLong(), 0);
        EXPECT_TRUE(t.toMap().value("start") == stamp && t.toMap().value("end") == stamp);
    }

    // Rows switched on only when they said exactly 1; a missing switch is off.
    EXPECT_EQ(rowsOf(s, "multiArray")[0].toMap().value("onOff").toLongLong(), 0);
    EXPECT_EQ(rowsOf(s, "multiArray")[1].toMap().value("onOff").toLongLong(), 1);
    EXPECT_EQ(rowsOf(s, "filterArray")[0].toMap().value("onOff").toLongLong(), 0);
    EXPECT_EQ(fields(rowsOf(s, "excludeArray")[0].toMap(), {"onOff", "itemToExclude"}),
              "onOff=0 itemToExclude=/home/u/Photos/cache");

    // settCheckBackupDate 0 and settOverride 1 become rules; what the user chose stays.
    EXPECT_EQ(fields(s, {"conflictBackupRadio", "conflictSyncRadio", "settCheckBackupDate",
                         "conflictBackupRadio2", "settOverride", "settMoveToTrash", "settCPOn",
                         "settExact", "topFolder"}),
              "conflictBackupRadio=2 conflictSyncRadio=1 settCheckBackupDate=<none> "
              "conflictBackupRadio2=2 settOverride=<none> settMoveToTrash=0 settCPOn=0 "
              "settExact=1 topFolder=/home/u/Photos");
}

TEST_F(DocumentUpgrade, Version320KeepsTimersAndRulesAndIsWrittenAs354)
{
    const DocumentReadResult read =
        SessionDocument::ReadFileSession(write("320.qmy", oldDocumentXml(320)));
    ASSERT_TRUE(read.ok);
    const QVariantMap s = sessionAt(read.doc, 0);
    const QVariantMap timer = rowsOf(s, "timerArray")[0].toMap();
    EXPECT_EQ(timer.value("valid").toLongLong(), 1);
    EXPECT_EQ(timer.value("start").toDateTime(), QDateTime(QDate(2003, 5, 1), QTime(8, 0), Qt::UTC));
    EXPECT_EQ(rowsOf(s, "multiArray")[0].toMap().value("onOff").toLongLong(), 5);
    // Converted only before 320.
    EXPECT_EQ(fields(s, {"timerOn", "conflictSyncRadio", "settMoveToTrash", "settCheckBackupDate"}),
              "timerOn=1 conflictSyncRadio=3 settMoveToTrash=1 settCheckBackupDate=0");

    // Every write stamps the current version, also on an older document.
    QVariantMap doc = read.doc;
    ASSERT_TRUE(SessionDocument::WriteFileSession(&doc, path("320.qmy"), templatePath()).ok);
    EXPECT_EQ(doc.value("fileVersion").toLongLong(), 354);
    EXPECT_EQ(SessionDocument::ReadFileSession(path("320.qmy")).fileVersion, 354);
}

TEST(DocumentUpgradeRules, OldFlagsMapToTheirRules)
{
    struct Case {
        const char *key;
        qlonglong stored;
        const char *rule;
        qlonglong expected;
    };
    const Case cases[] = {{"settCheckBackupDate", 0, "conflictSyncRadio", 1},
                          {"settCheckBackupDate", 1, "conflictSyncRadio", 2},
                          {"settOverride", 1, "conflictBackupRadio2", 2},
                          {"settOverride", 0, "conflictBackupRadio2", 1}};
    for (const Case &c : cases) {
        QVariantMap session = qm::SessionDefaults::session(2, "Old");
        session.remove("conflictBackupRadio2");
        session.remove("conflictBackupAsk2");
        session.insert(c.key, I(c.stored));
        QVariantMap doc{{"sessionsArray", QVariantList{session}}};
        ASSERT_TRUE(SessionDocument::CheckForDocDictionary(&doc, 300));
        const QVariantMap s = sessionAt(doc, 0);
        EXPECT_EQ(s.value(c.rule).toLongLong(), c.expected) << c.key << "=" << c.stored;
        EXPECT_FALSE(s.contains(c.key)) << c.key;
        EXPECT_EQ(s.value("conflictBackupAsk2").toLongLong(), 0);
    }

    // With a second backup rule already present the old flag is not consulted.
    QVariantMap session = qm::SessionDefaults::session(2, "New");
    session.insert("settOverride", I(1));
    QVariantMap doc{{"sessionsArray", QVariantList{session}}};
    ASSERT_TRUE(SessionDocument::CheckForDocDictionary(&doc, 340));
    EXPECT_EQ(sessionAt(doc, 0).value("conflictBackupRadio2").toLongLong(), 1);
    EXPECT_TRUE(sessionAt(doc, 0).contains("settOverride"));
}

TEST(DocumentUpgradeRules, VolumeListWithoutHostOnItsFirstRowIsReplacedWhole)
{
    QVariantMap session = qm::SessionDefaults::session(1, "S");
    session.insert("autoMountVolumeOn", I(1));
    QVariantMap first = qm::SessionDefaults::volumeRow();
    first.remove("host");
    QVariantMap filled = qm::SessionDefaults::volumeRow();
    filled.insert("host", "server");
    session = setRow(session, "autoMountVolumeArray", 0, first);
    session = setRow(session, "autoMountVolumeArray", 1, filled);
    QVariantMap doc{{"sessionsArray", QVariantList{session}}, {"sessionIndex", I(0)}};

    ASSERT_TRUE(SessionDocument::CheckForDocDictionary(&doc, 354));
    const QVariantMap s = sessionAt(doc, 0);
    EXPECT_EQ(s.value("autoMountVolumeOn").toLongLong(), 0);
    const QVariantList rows = rowsOf(s, "autoMountVolumeArray");
    ASSERT_EQ(rows.size(), 64);
    for (const QVariant &row : rows)
        EXPECT_EQ(row.toMap(), qm::SessionDefaults::repairedVolumeRow());
}

TEST(DocumentUpgradeRules, MissingScriptsAndFilterFieldsAreAdded)
{
    QVariantMap session = qm::SessionDefaults::session(1, "S");
    for (const char *key : {"asStartOn", "asEndOn", "settSkipEmptyFolders"})
        session.remove(key);
    session.insert("asStartText", "say hello"); // without its switch: reset as well
    QVariantMap filter = qm::SessionDefaults::filterRow();
    filter.insert("filterKindOn", I(1));
    filter.remove("filterKindPop");
    filter.remove("filterOwnerOn");
    filter.insert("filterOwnerField", "alice");
    filter.insert("filterGroupOn", I(1));
    filter.insert("filterGroupField", "staff");
    QVariantMap doc{{"sessionsArray", QVariantList{setRow(session, "filterArray", 0, filter)}}};

    ASSERT_TRUE(SessionDocument::CheckForDocDictionary(&doc, 330));
    const QVariantMap s = sessionAt(doc, 0);
    EXPECT_EQ(s.value("asStartText").toString(), qm::SessionDefaults::scriptText());
    EXPECT_EQ(fields(s, {"asStartOn", "settSkipEmptyFolders"}), "asStartOn=0 settSkipEmptyFolders=0");
    // Only a complete pair is kept.
    EXPECT_EQ(fields(rowsOf(s, "filterArray")[0].toMap(),
                     {"filterKindOn", "filterKindPop", "filterOwnerField", "filterGroupOn", "filterGroupField"}),
              "filterKindOn=0 filterKindPop=0 filterOwnerField= filterGroupOn=1 filterGroupField=staff");
}


TEST(DocumentRepair, RowListsAreBroughtToTheirExactSizeAndMissingKeysFilled)
{
    QVariantMap session = qm::SessionDefaults::session(2, "S");
    QVariantMap named = qm::SessionDefaults::filterRow();
    named.insert("filterNameField", "keep me");
    named.insert("filterColour", "blue");
    session.insert("filterArray", QVariantList{QString("garbage"), named, QVariantMap{{"onOff", I(0)}}});
    session.insert("excludeArray", qm::SessionDefaults::rows(
                                       QVariantMap{{"onOff", I(1)}, {"itemToExclude", "/x"}}, 40));
    QVariantMap volume = qm::SessionDefaults::volumeRow();
    volume.insert("host", "nas");
    session.insert("autoMountVolumeArray", qm::SessionDefaults::rows(volume, 10));
    session.insert("timerArray", "not a list");
    session.remove("multiArray");
    QVariantMap doc{{"sessionsArray", QVariantList{session, QVariantMap{{"topFolder", "/src"}}}}};

    ASSERT_TRUE(SessionDocument::CheckForDocDictionary(&doc, 354));
    // Missing session keys take defaults, but a name and task are not invented.
    EXPECT_EQ(fields(sessionAt(doc, 1), {"topFolder", "settInvisibleItems", "conflictSyncRadio", "sessionName", "settTask"}),
              "topFolder=/src settInvisibleItems=1 conflictSyncRadio=2 sessionName=<none> settTask=<none>");
    EXPECT_EQ(rowsOf(sessionAt(doc, 1), "autoMountVolumeArray").size(), 64);
    const QVariantMap s = sessionAt(doc, 0);
    const QVariantMap emptyFilter = qm::SessionDefaults::filterRow();

    const QVariantList f = rowsOf(s, "filterArray");
    ASSERT_EQ(f.size(), 32);
    EXPECT_EQ(f[0].toMap(), emptyFilter); // a row that was not a record
    EXPECT_EQ(fields(f[1].toMap(), {"filterNameField", "filterColour"}), "filterNameField=keep me filterColour=blue");
    EXPECT_EQ(f[2].toMap().value("onOff").toLongLong(), 0); // stored value kept
    EXPECT_EQ(f[2].toMap().size(), emptyFilter.size());     // missing keys filled
    EXPECT_EQ(f[31].toMap(), emptyFilter);

    EXPECT_EQ(rowsOf(s, "excludeArray").size(), 32);
    EXPECT_EQ(rowsOf(s, "excludeArray")[31].toMap().value("itemToExclude").toString(), "/x");
    const QVariantList v = rowsOf(s, "autoMountVolumeArray");
    ASSERT_EQ(v.size(), 64);
    EXPECT_EQ(v[9].toMap().value("host").toString(), "nas");
    EXPECT_EQ(v[10].toMap(), qm::SessionDefaults::volumeRow());
    EXPECT_EQ(rowsOf(s, "timerArray").size(), 32);
    EXPECT_EQ(rowsOf(s, "multiArray"),
              qm::SessionDefaults::rows(qm::SessionDefaults::folderPairRow(), 32));
}

TEST(DocumentRepair, SessionIndexMustNameASessionOrAllSessions)
{
    const QVariantMap session = qm::SessionDefaults::session(1, "S");
    const QVariantList two{session, session};
    // With two sessions: 0 and 1 are sessions, 3 is "All Sessions".
    const std::pair<QVariant, qlonglong> cases[] = {
        {I(1), 1}, {I(3), 3},          {I(2), 0},          {I(-1), 0},
        {QVariant(), 0}, {QVariant("1"), 0}, {QVariant(1.0), 1}, {QVariant(0.5), 0}};
    for (const auto &[stored, expected] : cases) {
        QVariantMap doc{{"sessionsArray", two}};
        if (stored.isValid())
            doc.insert("sessionIndex", stored);
        ASSERT_TRUE(SessionDocument::CheckForDocDictionary(&doc, 354));
        EXPECT_EQ(doc.value("sessionIndex").toLongLong(), expected)
            << stored.toString().toStdString();
    }
}


using DocumentRefusal = DocumentFiles;

TEST_F(DocumentRefusal, RefusedFilesAreLeftAloneAndOnlyANewerVersionAlerts)
{
    QByteArray current = qm::PropertyList::serialize(SessionDocument::NewTemplate());
    const auto without = [](QVariantMap m, const char *key) {
        m.remove(key);
        return qm::PropertyList::serialize(m);
    };
    const auto with = [](QVariantMap m, const char *key, const QVariant &v) {
        m.insert(key, v);
        return qm::PropertyList::serialize(m);
    };
    const QVariantMap doc = SessionDocument::NewTemplate();
    const struct {
        const char *name;
        QByteArray bytes;
        Reason reason;
    } cases[] = {
        {"newer", with(doc, "fileVersion", I(355)), Reason::NewerVersion},
        {"truncated", current.left(current.size() / 2), Reason::Damaged},
        {"not-xml", QByteArray("fileVersion = 354\n"), Reason::Damaged},
        {"array-root", qm::PropertyList::serialize(QVariantList{doc}), Reason::NotADocument},
        {"no-version", without(doc, "fileVersion"), Reason::NotADocument},
        {"text-version", with(doc, "fileVersion", "354"), Reason::NotADocument},
        {"no-sessions", without(doc, "sessionsArray"), Reason::NoSessions},
        {"empty-sessions", with(doc, "sessionsArray", QVariantList()), Reason::NoSessions},
        {"text-session", with(doc, "sessionsArray", QVariantList{"x"}), Reason::NotADocument},
        {"sessions-dict", with(doc, "sessionsArray", QVariantMap()), Reason::NotADocument},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = write(c.name, c.bytes);
        const DocumentReadResult read = SessionDocument::ReadFileSession(file, templatePath());
        EXPECT_FALSE(read.ok);
        EXPECT_EQ(read.reason, c.reason);
        EXPECT_EQ(read.showAlert, c.reason == Reason::NewerVersion);
        EXPECT_TRUE(read.message.startsWith("Can't open the file\r\"" + file + "\"\r")) << read.message.toStdString();
        EXPECT_TRUE(read.doc.isEmpty());
        EXPECT_EQ(bytesOf(file), c.bytes);
    }
    const DocumentReadResult newer = SessionDocument::ReadFileSession(path("newer"));
    EXPECT_EQ(newer.fileVersion, 355);
    EXPECT_TRUE(newer.message.endsWith("\"\rbecause it has been created by a higher version."));
    EXPECT_FALSE(SessionDocument::ReadFileSession(path("truncated")).detail.isEmpty()); // the parser says where

    EXPECT_EQ(SessionDocument::ReadFileSession(path("absent.qmy")).reason, Reason::NotFound);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.qmy"));
    EXPECT_EQ(SessionDocument::ReadFileSession(path("folder.qmy")).reason, Reason::IsFolder);
}


using TemplateDocument = DocumentFiles;

TEST_F(TemplateDocument, MissingDamagedOrNewerTemplateGivesANewDocumentOtherwiseItsContent)
{
    const QString file = templatePath();
    QVariantMap newer = SessionDocument::NewTemplate();
    newer.insert("fileVersion", I(400));
    SessionDocument::AddSession(1, "From the future", &newer);
    const std::pair<QByteArray, Reason> cases[] = {
        {QByteArray(), Reason::NotFound},
        {"<plist><dict><key>fileVersion</key>", Reason::Damaged},
        {qm::PropertyList::serialize(newer), Reason::NewerVersion}};
    for (const auto &[bytes, reason] : cases) {
        if (!bytes.isEmpty())
            write(SessionDocument::templateFileName(), bytes);
        DocumentReadResult why;
        EXPECT_EQ(SessionDocument::readTemplate(file, &why), SessionDocument::NewTemplate());
        EXPECT_EQ(why.reason, reason);
        EXPECT_FALSE(why.showAlert) << "the template is never the subject of an alert";
    }

    // A readable template is the state left at the last quit.
    QVariantMap last = SessionDocument::NewTemplate();
    SessionDocument::AddSession(2, "Evening", &last);
    last.insert("sessionIndex", I(4)); // "All Sessions" of three
    ASSERT_TRUE(SessionDocument::WriteFileSession(&last, file, file).ok);
    DocumentReadResult why;
    EXPECT_EQ(SessionDocument::readTemplate(file, &why), last);
    EXPECT_EQ(why.reason, Reason::None);
}


using DocumentWrite = DocumentFiles;

namespace {

QVariantMap documentWithPassword(const QByteArray &password)
{
    QVariantMap doc = SessionDocument::NewTemplate();
    QVariantMap row = qm::SessionDefaults::volumeRow();
    row.insert("host", "nas.local");
    row.insert("password", password);
    return withSession(doc, 1, setRow(sessionAt(doc, 1), "autoMountVolumeArray", 5, row));
}

} // namespace

// Volume rows may hold passwords and every document names folders: each is
// its owner's only, the template too, whatever mode an older file had.
TEST_F(DocumentWrite, EveryDocumentIsRestrictedToItsOwner)
{
    QVariantMap withPassword = documentWithPassword("secret");
    QVariantMap plain = SessionDocument::NewTemplate();
    const QString shared = write("shared.qmy", "old content");
    ASSERT_TRUE(QFile::setPermissions(shared, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                  | QFile::ReadOther | QFile::WriteOther));
    const std::pair<QVariantMap *, QString> writes[] = {
        {&withPassword, shared}, {&withPassword, templatePath()}, {&plain, path("plain.qmy")}};
    for (const auto &[doc, file] : writes) {
        ASSERT_TRUE(SessionDocument::WriteFileSession(doc, file, templatePath()).ok) << file.toStdString();
        EXPECT_EQ(modeOf(file), mode_t(0600)) << file.toStdString();
    }
    ASSERT_TRUE(SessionDocument::ReadFileSession(shared).ok);
}

TEST_F(DocumentWrite, AFailedWriteSaysSoAndLeavesNoFile)
{
    QVariantMap doc = SessionDocument::NewTemplate();
    const QString file = path("missing-folder/doc.qmy");
    const qm::DocumentWriteResult r = SessionDocument::WriteFileSession(&doc, file, templatePath());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, qm::DocumentWriteResult::Reason::WriteFailed);
    EXPECT_EQ(r.message, "Can't write the file \"" + file + "\" to the disk.");
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{}); // no temporary left behind
}

TEST(VolumePasswords, FindingAndRemovingPasswordsInEverySession)
{
    QVariantMap doc = documentWithPassword("secret");
    QVariantMap first = sessionAt(doc, 0);
    QVariantMap row = qm::SessionDefaults::volumeRow();
    row.insert("password", QByteArray("other"));
    doc = withSession(doc, 0, setRow(first, "autoMountVolumeArray", 63, row));
    const QVariantMap original = doc;

    EXPECT_TRUE(SessionDocument::VolumeListContainsPassword(&doc, false));
    EXPECT_EQ(doc, original); // asking changes nothing
    EXPECT_TRUE(SessionDocument::VolumeListContainsPassword(&doc, true));
    EXPECT_FALSE(SessionDocument::VolumeListContainsPassword(&doc, false));
    EXPECT_FALSE(SessionDocument::VolumeListContainsPassword(&doc, true));
    EXPECT_EQ(rowsOf(sessionAt(doc, 1), "autoMountVolumeArray")[5].toMap().value("host").toString(),
              "nas.local");
}
