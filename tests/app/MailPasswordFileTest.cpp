#include "app/Preferences.h"
#include "app/SecretStore.h"
#include "platform/PropertyList.h"
#include "support/TempHome.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace qm;

TEST(MailPasswordFile, ThePasswordIsWrittenOnlyWhereNoStoreKeepsIt)
{
    qmtest::TempHome home;
    const AppPaths paths = AppPaths::fromEnvironment();
    ASSERT_TRUE(QDir().mkpath(paths.prefFolder));
    const struct {
        int inStore;
        const char *password;
        const char *written;
    } cases[] = {{1, "s3cret", ""}, {0, "s3cret", "s3cret"}, {0, "", ""}};
    for (const auto &c : cases) {
        QVariantMap prefs = Preferences::defaults(paths, false);
        prefs.insert(MailPassword::kInStoreKey, c.inStore);
        prefs.insert("prefSmtpPassword", QString::fromLatin1(c.password));
        ASSERT_TRUE(Preferences::write(paths, prefs));
        QVariantMap read;
        ASSERT_TRUE(PropertyList::readDictionary(paths.prefFile, &read, nullptr));
        EXPECT_EQ(read.value("prefSmtpPassword").toString(), c.written) << c.inStore << c.password;
    }
}

TEST(DesktopSecretStore, NeverFindsASecretThatWasNotStored)
{
    // Whatever this desktop has (a password store or none), the answer comes
    // and a missing entry is not reported found.
    const std::unique_ptr<SecretStore> store = makeDesktopSecretStore();
    QString secret = QStringLiteral("untouched");
    EXPECT_NE(store->read(QStringLiteral("no-such-entry-for-tests"), &secret), SecretStore::Result::Done);
    EXPECT_EQ(secret, "untouched");
}
