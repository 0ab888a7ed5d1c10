// The run-as-root box from the preferences file to the escalation service.
#include "app/PrivilegeChange.h"
#include "app/Preferences.h"
#include "uimodel/PreferencesForm.h"
#include "platform/PropertyList.h"
#include "support/FakeSecretStore.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qm;

namespace {

// A program that is not root, whose preferences file still says prefRoot 1
// (written while it was), shows the box off; checking it and pressing OK
// asks the service, and a dismissed password request leaves the box off
// in the preferences written next.
TEST(RunAsRootBox, FollowsTheProcessNotTheFileAndACancelLeavesItOff)
{
    qmtest::TempHome home;
    const AppPaths paths = AppPaths::fromEnvironment();
    ASSERT_TRUE(QDir().mkpath(paths.prefFolder));
    QVariantMap stored = Preferences::defaults(paths, true);
    ASSERT_EQ(stored.value("prefRoot").toInt(), 1);
    ASSERT_TRUE(Preferences::write(paths, stored));

    QVariantMap prefs = Preferences::read(paths, false);
    QTemporaryDir dir;
    const QString service = dir.filePath("service");
    {
        QFile f(service);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nexit 126\n");
    }
    QFile::setPermissions(service, QFile::ReadOwner | QFile::ExeOwner);
    PrivilegeChange change(&prefs, false, {service, service}); // any existing file stands for the program
    QSignalSpy finished(&change, &PrivilegeChange::finished);

    qmtest::FakeSecretStore secrets;
    secrets.available = false;
    PreferencesForm form(secrets, [&change](bool on) { change.PrefRunAsRoot(on); });
    form.PrefSet(prefs);
    EXPECT_FALSE(form.values().root);

    form.values().root = true;
    const auto applied = form.PrefApply(100, prefs, [&paths](const QVariantMap &p) { Preferences::write(paths, p); });
    EXPECT_TRUE(applied.close);
    ASSERT_TRUE(finished.wait(10000));
    const auto outcome = finished.value(0).value(0).value<PrivilegeOutcome>();
    EXPECT_EQ(outcome.kind, PrivilegeOutcome::Kind::Cancelled);
    EXPECT_EQ(prefs.value("prefRoot").toInt(), 0);
    form.PrefSet(prefs);
    EXPECT_FALSE(form.values().root);
}

} // namespace
