#include "uimodel/ConflictsForm.h"
#include "uimodel/ScriptsForm.h"
#include "uimodel/VolumeListEditor.h"

#include "support/Documents.h"
#include "volumes/PasswordCodec.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

using namespace qm;

namespace {

QVariantMap remoteRow(const QString &host, const QString &password = {}, qlonglong onOff = 1)
{
    QVariantMap row = SessionDefaults::repairedVolumeRow();
    row.insert("onOff", onOff);
    row.insert("volumeType", 1LL);
    row.insert("scheme", "smb");
    row.insert("user", "ann");
    row.insert("host", host);
    row.insert("path", "/share");
    row.insert("mountPoint", "/media/" + host);
    row.insert("password", PasswordCodec::SetWellData(password));
    return row;
}

QVariantMap documentWithVolumes(bool on, const QVariantList &rows)
{
    QVariantMap session = SessionDefaults::session(1, "S");
    session["autoMountVolumeOn"] = qlonglong(on ? 1 : 0);
    return qmtest::documentOf({qmtest::withRows(session, "autoMountVolumeArray", rows)});
}

struct VolumeApplyCase {
    const char *name;
    bool on;
    QVariantList rows;
    bool stored;
};

const VolumeApplyCase kVolumeApplies[] = {
    {"OnWithoutRowsIsRefused", true, {}, false},
    {"OnWithOnlyOffRowsIsRefused", true, {remoteRow("a", "", 0)}, false},
    {"OffStoresTheListUnchanged", false, {}, true},
    {"OnWithOneFilledRowStores", true, {remoteRow("a", "", 0), remoteRow("b")}, true},
};

class VolumeApply : public testing::TestWithParam<VolumeApplyCase> {};

TEST_P(VolumeApply, RefusesAnEmptyListOnlyWhileOn)
{
    QVariantMap doc = documentWithVolumes(GetParam().on, GetParam().rows);
    const QVariantMap before = doc;
    VolumeListEditor editor("me");
    ASSERT_TRUE(editor.load(doc));
    const ListApplyResult r = editor.apply(1, false, doc, false);
    EXPECT_EQ(r.stored, GetParam().stored);
    EXPECT_EQ(r.warning, GetParam().stored ? QString() : QString("Can't set an empty Automount Volume list."));
    EXPECT_EQ(doc, before) << "nothing refused is stored, and an unchanged list stays the same";
}

INSTANTIATE_TEST_SUITE_P(Cases, VolumeApply, testing::ValuesIn(kVolumeApplies),
                         [](const auto &info) { return std::string(info.param.name); });

struct PasswordCase {
    const char *name;
    QString typed;
    bool accepted;
    QString readBack;
};

const PasswordCase kPasswords[] = {
    {"EmptyMeansNone", "", true, ""},
    {"TwoCharactersRefused", "ab", false, ""},
    {"ThreeCharactersKept", "abc", true, "abc"},
    {"SeparatorsKept", "p@s:s", true, "p@s:s"},
};

class VolumePassword : public testing::TestWithParam<PasswordCase> {};

TEST_P(VolumePassword, RowEditorStoresEncodedOrRefuses)
{
    QVariantMap doc = documentWithVolumes(true, {remoteRow("a", "old")});
    VolumeListEditor editor("me");
    editor.load(doc);
    VolumeRowForm form = editor.dialogFor(0);
    EXPECT_EQ(form.password, "old");
    form.password = GetParam().typed;
    form.unmountVolume = false;
    const QString warning = editor.confirmDialog(0, form);
    const QVariantMap row = editor.rowAt(0);
    if (!GetParam().accepted) {
        EXPECT_EQ(warning, "Can't set a password smaller than 3 characters.");
        EXPECT_EQ(row, doc["sessionsArray"].toList()[0].toMap()["autoMountVolumeArray"].toList()[0].toMap());
        return;
    }
    EXPECT_EQ(warning, "");
    EXPECT_FALSE(row["password"].toByteArray().contains(GetParam().typed.toUtf8()) && !GetParam().typed.isEmpty())
        << "never stored in clear";
    EXPECT_EQ(PasswordCodec::GetWellData(row["password"].toByteArray()), GetParam().readBack);
    EXPECT_EQ(row["unmountVolume"].toLongLong(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, VolumePassword, testing::ValuesIn(kPasswords),
                         [](const auto &info) { return std::string(info.param.name); });

struct VolumeToneCase {
    const char *name;
    bool listOn;
    QVariantMap row;
    bool gray;
    bool orange;
};

QVariantMap localRow()
{
    QVariantMap row = remoteRow("disk");
    row["volumeType"] = 2LL;
    row["scheme"] = "file";
    return row;
}

const VolumeToneCase kTones[] = {
    {"RemoteWithoutPasswordOnIsOrange", true, remoteRow("a"), false, true},
    {"RemoteWithoutPasswordOffIsGray", true, remoteRow("a", "", 0), true, false},
    {"TwoCharacterStoredPasswordCountsAsNone", true, remoteRow("a", "ab"), false, true},
    {"RemoteWithPasswordIsBlack", true, remoteRow("a", "secret"), false, false},
    {"LocalDiskWithoutPasswordIsBlack", true, localRow(), false, false},
    {"ListOffGraysEverything", false, remoteRow("a"), true, false},
};

class VolumeTone : public testing::TestWithParam<VolumeToneCase> {};

TEST_P(VolumeTone, AddressHintsAMissingPassword)
{
    VolumeListEditor editor("me");
    QAbstractItemModelTester tester(&editor, QAbstractItemModelTester::FailureReportingMode::Fatal);
    editor.load(documentWithVolumes(GetParam().listOn, {GetParam().row}));
    const QModelIndex address = editor.index(0, VolumeListEditor::AddressColumn);
    EXPECT_EQ(editor.data(address, ListEditor::GrayRole).toBool(), GetParam().gray);
    EXPECT_EQ(editor.data(address, VolumeListEditor::NoPasswordHintRole).toBool(), GetParam().orange);
    EXPECT_EQ(editor.data(editor.index(0, 0), ListEditor::GrayRole).toBool(), !GetParam().listOn);
}

INSTANTIATE_TEST_SUITE_P(Cases, VolumeTone, testing::ValuesIn(kTones),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(VolumeListEditor, OptionClickRemovesTheRowAndClicksOnEmptyOrOffRowsOnlyWarn)
{
    QVariantMap doc = documentWithVolumes(true, {remoteRow("a"), remoteRow("b"), remoteRow("c")});
    VolumeListEditor editor("me");
    QAbstractItemModelTester tester(&editor, QAbstractItemModelTester::FailureReportingMode::Fatal);
    editor.load(doc);
    EXPECT_EQ(editor.data(editor.index(1, 1)).toString(), "smb://b/share");
    EXPECT_EQ(editor.click(0, 1, {false, true}).action, ListClick::Action::Changed);
    EXPECT_EQ(editor.rowAt(0)["host"].toString(), "b");
    EXPECT_EQ(editor.rowAt(1)["host"].toString(), "c");
    EXPECT_EQ(editor.rowAt(63), SessionDefaults::repairedVolumeRow());
    EXPECT_EQ(editor.rowCount(), 64);

    const ListClick empty = editor.click(5, 1, {false, true});
    EXPECT_EQ(empty.action, ListClick::Action::Alert);
    EXPECT_TRUE(empty.message.startsWith("Cannot edit an empty row."));
    EXPECT_EQ(editor.click(1, 1, {}).action, ListClick::Action::EditRow);

    editor.setSwitchTitle("Mount");
    editor.setListOn(false);
    const QVariantList rowsBefore = editor.rows();
    const ListClick off = editor.click(0, 0, {});
    EXPECT_EQ(off.action, ListClick::Action::ListOff);
    EXPECT_EQ(off.message, "In order to edit the Automount Volumes list, mark the check-box \"Mount\".");
    EXPECT_EQ(editor.rows(), rowsBefore);
    EXPECT_FALSE(editor.tryAllEnabled());
}

struct RowEditorCase {
    const char *name;
    QVariantMap row;
    bool userEditable;
    bool passwordEditable;
    const char *icon;
};

QVariantMap withValues(QVariantMap row, const QVariantMap &values)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        row.insert(it.key(), it.value());
    return row;
}

const RowEditorCase kRowEditors[] = {
    {"SmbUserIsFixed", remoteRow("a"), false, true, "icnVolumeSamba"},
    {"OtherRemoteUserEditable", withValues(remoteRow("a"), {{"scheme", "sftp"}, {"user", ""}}), true, true,
     "icnVolumeRemote"},
    {"LocalDiskReadOnly", localRow(), false, false, "icnVolumeLocal"},
    {"DiskImageReadOnly", withValues(localRow(), {{"volumeType", 3LL}}), false, false, "icnVolumeDiskImage"},
};

class VolumeRowEditor : public testing::TestWithParam<RowEditorCase> {};

TEST_P(VolumeRowEditor, OpensWithTheFieldsItsTypeAllows)
{
    VolumeListEditor editor("login");
    editor.load(documentWithVolumes(true, {GetParam().row}));
    const VolumeRowForm form = editor.dialogFor(0);
    EXPECT_EQ(form.userEditable, GetParam().userEditable);
    EXPECT_EQ(form.passwordEditable, GetParam().passwordEditable);
    EXPECT_EQ(form.defaultIconName, GetParam().icon);
    EXPECT_EQ(form.user, GetParam().row["user"].toString().isEmpty() ? "login" : GetParam().row["user"].toString());
}

INSTANTIATE_TEST_SUITE_P(Cases, VolumeRowEditor, testing::ValuesIn(kRowEditors),
                         [](const auto &info) { return std::string(info.param.name); });

struct ConflictsCase {
    const char *name;
    int sessionIndex;
    int tag;
    ConflictsForm::Outcome outcome;
};

const ConflictsCase kConflicts[] = {
    {"OkStores", 0, ConflictsForm::kConfirmTag, ConflictsForm::Outcome::Stored},
    {"CancelLeavesTheSession", 0, 99, ConflictsForm::Outcome::Closed},
    {"AllSessionsBeeps", 2, ConflictsForm::kConfirmTag, ConflictsForm::Outcome::Beep},
    {"NegativeIndexBeeps", -1, ConflictsForm::kConfirmTag, ConflictsForm::Outcome::Beep},
};

class ConflictsApply : public testing::TestWithParam<ConflictsCase> {};

TEST_P(ConflictsApply, StoresTheTenValuesOnlyIntoAnExistingSession)
{
    QVariantMap doc = documentWithVolumes(false, {});
    ConflictsForm form;
    ASSERT_TRUE(form.SetConflictsPanes(doc));
    EXPECT_EQ(form.radio(0), 2);
    EXPECT_FALSE(form.ask(0));
    for (int r = 0; r < ConflictsForm::kRuleCount; ++r) {
        form.setRadio(r, r % 2 + 1);
        form.setAsk(r, r != 2);
    }
    doc["sessionIndex"] = GetParam().sessionIndex;
    const QVariantMap before = doc;
    EXPECT_EQ(form.apply(GetParam().tag, doc), GetParam().outcome);
    if (GetParam().outcome != ConflictsForm::Outcome::Stored) {
        EXPECT_EQ(doc, before);
        return;
    }
    const QVariantMap s = qmtest::sessionAt(doc, 0);
    EXPECT_EQ(s["conflictSyncRadio"].toLongLong(), 1);
    EXPECT_EQ(s["conflictBackupRadio"].toLongLong(), 2);
    EXPECT_EQ(s["conflictExactSyncRadio"].toLongLong(), 1);
    EXPECT_EQ(s["conflictBackupAsk"].toLongLong(), 1);
    EXPECT_EQ(s["conflictBackupAsk2"].toLongLong(), 0);
    ConflictsForm reread;
    ASSERT_TRUE(reread.SetConflictsPanes(doc));
    for (int r = 0; r < ConflictsForm::kRuleCount; ++r) {
        EXPECT_EQ(reread.radio(r), form.radio(r));
        EXPECT_EQ(reread.ask(r), form.ask(r));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConflictsApply, testing::ValuesIn(kConflicts),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ScriptsForm, RefusesAnEnabledScriptThatDoesNotCompileAndStoresADisabledOne)
{
    QVariantMap doc = documentWithVolumes(false, {});
    ScriptsForm form;
    ASSERT_TRUE(form.SetAppleScriptPanes(doc));
    form.startOn = false;
    form.startText = "echo fine\nif then\n";
    form.endOn = true;
    form.endText = "echo one\nfi\n";
    const QVariantMap before = doc;
    ScriptsApplyResult r = form.apply(ScriptsForm::kConfirmTag, doc);
    ASSERT_EQ(r.outcome, ScriptsApplyResult::Outcome::Refused);
    EXPECT_EQ(r.check.which, 2);
    EXPECT_EQ(form.endText.mid(r.check.errorStart, r.check.errorLength).trimmed(), "fi");
    EXPECT_EQ(doc, before);

    form.endOn = false;
    r = form.apply(ScriptsForm::kConfirmTag, doc);
    ASSERT_EQ(r.outcome, ScriptsApplyResult::Outcome::Stored);
    EXPECT_EQ(qmtest::sessionAt(doc, 0)["asStartText"].toString(), form.startText);
    EXPECT_EQ(qmtest::sessionAt(doc, 0)["asEndOn"].toLongLong(), 0);
    EXPECT_EQ(form.apply(0, doc).outcome, ScriptsApplyResult::Outcome::Closed);
}

TEST(ScriptsForm, TryShowsTheOutputAndTheFaultyLine)
{
    ScriptContext photos;
    photos.sessionName = "Photos";
    const ScriptTryResult ok = ScriptsForm::tryScript(1, "echo \"$QUILLMERE_SESSION_NAME\"", photos);
    EXPECT_EQ(ok.message, "");
    EXPECT_EQ(ok.output, "Photos\n");
    const ScriptTryResult bad = ScriptsForm::tryScript(2, "true\n)\n", ScriptContext{});
    EXPECT_EQ(bad.errorStart, 5);
    const ScriptTryResult failing = ScriptsForm::tryScript(1, "echo partial; exit 3", ScriptContext{});
    EXPECT_FALSE(failing.message.isEmpty());
    EXPECT_EQ(failing.output, "partial\n");
}

} // namespace
