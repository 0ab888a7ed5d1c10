#include "app/Preferences.h"
#include "app/SecretStore.h"
#include "platform/PropertyList.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace qm;

TEST(MailPasswordFile, ThePasswordIsWrittenOnlyWhereNoStoreKeepsIt)
{
    qmtest::TempHome home;
    const AppPaths paths = AppPaths::fromEnvironment();
    ASSERT_TRUE(QDir().mkpath(paths.prefFolder));
    // The preferences file is its owner's only, whatever it holds.
    const mode_t oldMask = ::umask(022);
    struct Case {
        int inStore;
        const char *password;
        const char *written;
        bool ownerOnly;
    } cases[] = {
        {1, "s3cret", "", true},
        {0, "s3cret", "s3cret", true},
        {0, "", "", true},
    };
    for (const Case &c : cases) {
        QFile::remove(paths.prefFile);
        QVariantMap prefs = Preferences::defaults(paths, false);
        prefs.insert(MailPassword::kInStoreKey, c.inStore);
        prefs.insert("prefSmtpPassword", QString::fromLatin1(c.password));
        ASSERT_TRUE(Preferences::write(paths, prefs));
        QVariantMap read;
        ASSERT_TRUE(PropertyList::readDictionary(paths.prefFile, &read, nullptr));
        EXPECT_EQ(read.value("prefSmtpPassword").toString(), c.written) << c.inStore << c.password;
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::ReadOther;
        EXPECT_EQ((QFile::permissions(paths.prefFile) & others) == 0, c.ownerOnly) << c.inStore << c.password;
    }
    ::umask(oldMask);
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
