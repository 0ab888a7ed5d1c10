// The settings panel and the preferences window, offscreen, through their
// controls as a person uses them.
#include "ui/UiFixture.h"

#include "app/Preferences.h"
#include "platform/PropertyList.h"
#include "support/Documents.h"
#include "support/FakeSecretStore.h"
#include "ui/PreferencesWindow.h"
#include "ui/SettingsPanel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace qm {
namespace {

using qmtest::DesktopFixture;

QVariantMap sessionOf(AppController &c) { return qmtest::currentSession(c.document()); }

TEST(SettingsWindow, CancelKeepsTheSessionApplyAndStayStoresAndStays)
{
    DesktopFixture f;
    f.app().launch(LaunchOptions{{}, 0});
    ConsoleWindow &w = f.window();
    AppController &c = f.app().controller();
    w.chooseSession(1, false);
    const QVariantMap before = sessionOf(c);

    auto edit = [&](SettingsPanel *p) {
        p->taskGroup()->button(2)->click();
        p->checkBox(SettingsForm::SkipEmptyFolders)->click();
        p->changePermissions()->click();
        QComboBox *owner = p->permissionPopup(SettingsForm::PermissionClass::Owner);
        EXPECT_TRUE(owner->isEnabled());
        owner->setCurrentIndex(owner->findText(QStringLiteral("Read only")));
        Q_EMIT owner->activated(owner->currentIndex());
    };

    w.GoPanel(Panel::Settings);
    SettingsPanel *p = w.settingsPanel();
    ASSERT_EQ(w.pages()->currentWidget(), p);
    edit(p);
    EXPECT_EQ(p->checkBox(SettingsForm::Exact)->text(), QStringLiteral("Exact Backup"));
    p->cancelButton()->click();
    EXPECT_NE(w.pages()->currentWidget(), p);
    EXPECT_EQ(sessionOf(c), before);

    w.GoPanel(Panel::Settings);
    edit(p);
    p->applyAndStayButton()->click();
    EXPECT_EQ(w.pages()->currentWidget(), p);
    const QVariantMap after = sessionOf(c);
    EXPECT_EQ(after["settTask"].toInt(), 2);
    EXPECT_EQ(after["settSkipEmptyFolders"].toInt(), before["settSkipEmptyFolders"].toInt() == 1 ? 0 : 1);
    EXPECT_EQ(after["settCPOn"].toInt(), before["settCPOn"].toInt() == 1 ? 0 : 1);
    EXPECT_EQ(after["settCPPopOwner"].toInt(), 4);
    p->applyButton()->click();
    EXPECT_NE(w.pages()->currentWidget(), p);
}

// A refused address keeps the window open with the field selected; once
// corrected, OK writes the file and the password goes to the password store
// only.
TEST(PreferencesWindowPath, ARefusedAddressStaysThenTheFileIsWrittenWithoutThePassword)
{
    DesktopFixture f;
    AppController &c = f.app().controller();
    qmtest::FakeSecretStore secrets;
    QVariantMap prefs = c.prefs();
    PreferencesWindow window(prefs, c.paths(), f.app().questions(), secrets, false);
    window.show();

    auto *mail = window.control<QCheckBox>("prefSendEmail");
    auto *address = window.control<QLineEdit>("prefSendEmailAddress");
    auto *host = window.control<QLineEdit>("prefSmtpHost");
    ASSERT_TRUE(mail && address && host);
    if (mail->isChecked())
        mail->click();
    EXPECT_FALSE(address->isEnabled());
    mail->click();
    EXPECT_TRUE(address->isEnabled());
    address->selectAll();
    QTest::keyClicks(address, QStringLiteral("not an address"));
    auto *transport = window.control<QComboBox>("prefSendEmailTransport");
    transport->setCurrentIndex(1);
    Q_EMIT transport->activated(1);
    EXPECT_TRUE(host->isEnabled());
    QTest::keyClicks(window.control<QLineEdit>("prefSmtpPassword"), QStringLiteral("s3cret"));

    window.PrefApply();
    ASSERT_EQ(f.dialogs.alerts.size(), 1);
    EXPECT_NE(window.result(), QDialog::Accepted);
    EXPECT_EQ(window.tabs()->currentWidget()->objectName(), QStringLiteral("Email"));
    EXPECT_EQ(address->selectedText(), QStringLiteral("not an address"));

    address->selectAll();
    QTest::keyClicks(address, QStringLiteral("me@example.org"));
    window.PrefApply();
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(prefs["prefSendEmailAddress"].toString(), QStringLiteral("me@example.org"));
    EXPECT_EQ(prefs["prefSendEmailTransport"].toInt(), 2);
    EXPECT_EQ(secrets.secrets[MailPassword::kStoreKey], QStringLiteral("s3cret"));
    QString error;
    QVariantMap written;
    ASSERT_TRUE(PropertyList::readDictionary(c.paths().prefFile, &written, &error)) << error.toStdString();
    EXPECT_EQ(written["prefSendEmail"].toInt(), 1);
    EXPECT_TRUE(written["prefSmtpPassword"].toString().isEmpty());
}

} // namespace
} // namespace qm
