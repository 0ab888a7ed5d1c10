#include "uimodel/ChoiceListModel.h"
#include "uimodel/PreferencesForm.h"
#include "uimodel/SettingsForm.h"

#include "report/Mail.h"
#include "support/Documents.h"
#include "support/FakeSecretStore.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

using namespace qm;
using qmtest::documentOf;
using qmtest::sessionAt;

TEST(SettingsForm, TheTaskRetitlesTheExactBoxBeforeAnythingIsStored)
{
    QVariantMap doc = documentOf({SessionDefaults::session(1, "S")});
    SettingsForm form;
    ASSERT_TRUE(form.SetSettingsPanes(doc));
    const std::tuple<int, const char *, const char *> cases[] = {
        {2, "Exact Backup", "Deletes, from the destination folder, all the items not longer existing in the source folder"},
        {1, "Exact Sync", "Deletes, from a folder, all the items not longer existing in its specular folder"},
    };
    for (const auto &[task, title, tip] : cases) {
        form.SettingsSetTask(task);
        EXPECT_EQ(form.exactTitle(), title);
        EXPECT_EQ(form.exactToolTip(), tip);
        EXPECT_EQ(sessionAt(doc, 0)["settTask"].toInt(), 1);
    }
}

TEST(SettingsForm, ApplyStoresCancelKeepsAndOptionStays)
{
    QVariantMap session = SessionDefaults::session(1, "S");
    session.insert("settCPPopGroup", 7); // a value no pop-up offers is kept as it is
    const QVariantMap original = documentOf({session});

    struct Case {
        const char *name;
        int tag;
        bool option, running;
        bool stored, stays;
    } cases[] = {
        {"ok", 100, false, false, true, false},
        {"option-ok", 100, true, false, true, true},
        {"cancel", SettingsForm::kCancelTag, true, false, false, false},
        {"during a run", 100, false, true, false, true},
    };
    for (const Case &c : cases) {
        QVariantMap doc = original;
        SettingsForm form;
        ASSERT_TRUE(form.SetSettingsPanes(doc));
        form.SettingsSetTask(2);
        for (int check = 0; check < SettingsForm::CheckCount; ++check)
            form.setChecked(SettingsForm::Check(check), true);
        form.SettChangePermissions(true);
        EXPECT_TRUE(form.permissionPopUpsEnabled());
        form.setPermission(SettingsForm::PermissionClass::Owner, 6);
        form.setPermission(SettingsForm::PermissionClass::Others, -1);

        const SettingsForm::ApplyResult r = form.SettingsApply(c.tag, c.option, doc, c.running);
        EXPECT_EQ(r.stored, c.stored) << c.name;
        EXPECT_EQ(r.stayInPanel, c.stays) << c.name;
        const QVariantMap s = sessionAt(doc, 0);
        if (!c.stored) {
            EXPECT_EQ(doc, original) << c.name;
            continue;
        }
        EXPECT_EQ(s["settTask"].toInt(), 2);
        for (int check = 0; check < SettingsForm::CheckCount; ++check)
            EXPECT_EQ(s[SettingsForm::checkKey(SettingsForm::Check(check))].toInt(), 1) << check;
        EXPECT_EQ(s["settCPOn"].toInt(), 1);
        EXPECT_EQ(s["settCPPopOwner"].toInt(), 6);
        EXPECT_EQ(s["settCPPopGroup"].toInt(), 7);
        EXPECT_EQ(s["settCPPopOthers"].toInt(), -1);
    }
}

TEST(SettingsForm, AllSessionsHasNoSettingsToShow)
{
    QVariantMap doc = documentOf({SessionDefaults::session(2, "S")}, 2);
    SettingsForm form;
    EXPECT_FALSE(form.SetSettingsPanes(doc));
    form.GetSettingsPanes(doc);
    EXPECT_EQ(sessionAt(doc, 0)["settTask"].toInt(), 2);
}

TEST(ChoiceListModel, PermissionChoicesAreWhatCopiesRead)
{
    ChoiceListModel model(ChoiceListModel::permissionChoices());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(model.rowCount(), 4);
    // -1 keeps the class; other values are read and write bits (4, 2).
    EXPECT_EQ(model.tagAt(0), -1);
    EXPECT_EQ(model.rowOfTag(6), 1);
    EXPECT_EQ(model.rowOfTag(4), 2);
    EXPECT_EQ(model.rowOfTag(0), 3);
    EXPECT_EQ(model.rowOfTag(7), -1);
    EXPECT_EQ(model.data(model.index(1), ChoiceListModel::TagRole).toInt(), 6);
    EXPECT_EQ(model.data(model.index(1)).toString(), "Read & Write");
    EXPECT_EQ(model.tagAt(9), -1);
}

namespace {

class PreferencesFormTest : public ::testing::Test {
protected:
    qmtest::FakeSecretStore store;
    std::vector<QString> events;
    PreferencesForm form{store, [this](bool root) { events.push_back(root ? "root on" : "root off"); }};
    QVariantMap prefs;

    void SetUp() override
    {
        prefs = {{"prefSendEmail", 0},
                 {"prefSendEmailAddress", "ann@example.org"},
                 {"prefSaveLogFile", 0},
                 {"prefDeleteLogsOn", true}, // a repair stores a boolean
                 {"prefDeleteLogsField", 7},
                 {"prefPathLogFolder", "/logs"},
                 {"prefRoot", 0}};
        prefs.insert(mailPreferenceDefaults());
        form.PrefSet(prefs);
    }
};

} // namespace

TEST_F(PreferencesFormTest, EnablingFollowsTheCheckBoxes)
{
    PreferencesValues &v = form.values();
    EXPECT_TRUE(v.deleteLogsOn);
    struct Case {
        bool save, del, mail, smtp, delta;
        bool saveChoices, delChoices, mailChoices, smtpFields, sendmail, deltaField;
    } cases[] = {
        {false, true, false, false, false, false, false, false, false, false, false},
        {true, false, false, false, false, true, false, false, false, false, false},
        {true, true, true, false, true, true, true, true, false, true, true},
        {false, false, true, true, false, false, false, true, true, false, false},
    };
    for (const Case &c : cases) {
        v.saveLogFile = c.save;
        v.deleteLogsOn = c.del;
        v.sendEmail = c.mail;
        v.transport = c.smtp ? 2 : 1;
        v.modificationDelta = c.delta;
        EXPECT_EQ(form.saveLogChoicesEnabled(), c.saveChoices);
        EXPECT_EQ(form.deleteLogsChoicesEnabled(), c.delChoices);
        EXPECT_EQ(form.mailChoicesEnabled(), c.mailChoices);
        EXPECT_EQ(form.smtpFieldsEnabled(), c.smtpFields);
        EXPECT_EQ(form.sendmailPathEnabled(), c.sendmail);
        EXPECT_EQ(form.modificationDeltaFieldEnabled(), c.deltaField);
    }
    EXPECT_TRUE(form.openLogFolderEnabled());
    v.logFolder.clear();
    EXPECT_FALSE(form.openLogFolderEnabled());
}

TEST_F(PreferencesFormTest, ChecksComeInTheirOrderAndStoreNothingWhenOneFails)
{
    struct Case {
        const char *name;
        bool mail;
        const char *address;
        int age;
        int transport, port;
        const char *message;
        PreferencesForm::Field field;
        int ageAfter;
    } cases[] = {
        {"bad address first", true, "ann@example.", 0, 2, 0, "Email address not valid.",
         PreferencesForm::Field::MailAddress, 0},
        {"address unchecked when mail is off", false, "x", 0, 1, 587,
         "The Delete Logs text field must contain a value greater than zero.",
         PreferencesForm::Field::DeleteLogsAge, 1},
        {"then the port", true, "ann@example.org", 1, 2, 70000, "The SMTP port must be a number from 1 to 65535.",
         PreferencesForm::Field::SmtpPort, 1},
        {"port unchecked for sendmail", true, "ann@example.org", 3, 1, 0, "", PreferencesForm::Field::None, 3},
    };
    for (const Case &c : cases) {
        form.PrefSet(prefs);
        PreferencesValues &v = form.values();
        v.sendEmail = c.mail;
        v.sendEmailAddress = c.address;
        v.deleteLogsField = c.age;
        v.transport = c.transport;
        v.smtpPort = c.port;
        QVariantMap stored = prefs;
        const PreferencesForm::GetResult r = form.PrefGet(stored);
        EXPECT_EQ(r.ok, *c.message == 0) << c.name;
        EXPECT_EQ(r.message, c.message) << c.name;
        EXPECT_EQ(r.field, c.field) << c.name;
        EXPECT_EQ(v.deleteLogsField, c.ageAfter) << c.name;
        if (!r.ok) {
            EXPECT_EQ(stored, prefs) << c.name;
        }
    }
}

TEST_F(PreferencesFormTest, StoresEveryControlUnderItsKey)
{
    PreferencesValues &v = form.values();
    v.syncAndQuit = true;
    v.onError = 4;
    v.saveLogFileWhen = 1;
    v.deleteLogsOn = false;
    v.deleteLogsPop = 1;
    v.modificationDeltaField = 3;
    v.tab = "Mail";
    v.smtpHost = "mail.example.org";
    v.smtpPort = 465;
    v.smtpSecurity = 2;
    ASSERT_TRUE(form.PrefGet(prefs).ok);
    const std::pair<const char *, QVariant> expected[] = {
        {"prefSyncAndQuit", 1},       {"prefOnError", 4},         {"prefSaveLogFileWhen", 1},
        {"prefDeleteLogsOn", 0},      {"prefDeleteLogsPop", 1},   {"prefModificationDeltaField", 3},
        {"prefTabViewIdentifier", "Mail"}, {"prefSmtpHost", "mail.example.org"}, {"prefSmtpPort", 465},
        {"prefSmtpSecurity", 2},      {"prefPathLogFolder", "/logs"}, {"prefAskConfirmation", 0},
    };
    for (const auto &[key, value] : expected)
        EXPECT_EQ(prefs.value(key).toString(), value.toString()) << key;
}

TEST_F(PreferencesFormTest, ApplyWritesThenReportsARootChange)
{
    QVariantMap before = prefs;
    EXPECT_TRUE(form.PrefApply(PreferencesForm::kCancelTag, prefs, [&](const QVariantMap &) { events.push_back("write"); }).close);
    EXPECT_EQ(prefs, before);
    EXPECT_TRUE(events.empty());

    form.values().root = true;
    form.values().deleteLogsField = 0;
    const auto refused = form.PrefApply(100, prefs, [&](const QVariantMap &) { events.push_back("write"); });
    EXPECT_FALSE(refused.close);
    EXPECT_TRUE(events.empty());

    const auto ok = form.PrefApply(100, prefs, [&](const QVariantMap &) { events.push_back("write"); });
    EXPECT_TRUE(ok.close);
    EXPECT_EQ(events, (std::vector<QString>{"write", "root on"}));
    // Applying again with the box unchanged since the last OK changes nothing.
    form.PrefApply(100, prefs, [&](const QVariantMap &) { events.push_back("write"); });
    EXPECT_EQ(events.back(), "write");
}

TEST_F(PreferencesFormTest, ThePasswordGoesToTheStoreWhenThereIsOne)
{
    struct Case {
        bool available;
        const char *typed;
        int inStore;
        const char *inFile;
        const char *text;
    } cases[] = {
        {true, "s3cret", 1, "", "The password is kept in the desktop's password store."},
        {false, "s3cret", 0, "s3cret", "No password store is available: the password is kept in the preferences file."},
    };
    for (const Case &c : cases) {
        store.available = c.available;
        store.secrets.clear();
        form.PrefSet(prefs);
        form.setSmtpPassword(c.typed);
        QVariantMap stored = prefs;
        ASSERT_TRUE(form.PrefGet(stored).ok);
        EXPECT_EQ(stored[MailPassword::kInStoreKey].toInt(), c.inStore);
        EXPECT_EQ(stored["prefSmtpPassword"].toString(), c.typed); // in memory, for mailing
        EXPECT_EQ(MailPassword::forFile(stored)["prefSmtpPassword"].toString(), c.inFile);
        EXPECT_EQ(form.passwordPlaceText(), c.text);
        EXPECT_EQ(store.secrets.count(MailPassword::kStoreKey), c.available ? 1u : 0u);
    }
}

TEST_F(PreferencesFormTest, AnUntouchedPasswordStaysWhereItIs)
{
    // The store was locked at start: the form shows no password, and an OK
    // must not remove the one the store keeps.
    store.secrets[MailPassword::kStoreKey] = "kept";
    prefs[MailPassword::kInStoreKey] = 1;
    store.available = false;
    EXPECT_FALSE(MailPassword::load(prefs, store));
    form.PrefSet(prefs);
    store.available = true;
    ASSERT_TRUE(form.PrefGet(prefs).ok);
    EXPECT_EQ(store.secrets[MailPassword::kStoreKey], "kept");
    EXPECT_EQ(prefs[MailPassword::kInStoreKey].toInt(), 1);
    EXPECT_TRUE(MailPassword::load(prefs, store));
    EXPECT_EQ(prefs["prefSmtpPassword"].toString(), "kept");

    // Emptying the field removes it from the store.
    form.PrefSet(prefs);
    form.setSmtpPassword(QString());
    ASSERT_TRUE(form.PrefGet(prefs).ok);
    EXPECT_EQ(store.secrets.count(MailPassword::kStoreKey), 0u);
}
