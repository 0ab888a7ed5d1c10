#include "ui/UiFixture.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace qmtest {

bool waitFor(const std::function<bool()> &condition, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QTest::qWait(10);
    }
    return true;
}

DesktopFixture::DesktopFixture(const QVariantMap &prefs, std::unique_ptr<qm::RunStages> stages)
{
    qm::StartupOptions options;
    options.resourcesDir = QStringLiteral(QM_SOURCE_DIR "/resources");
    qm::StartedApp started;
    const qm::StartupResult r = qm::Startup::run(options, &started);
    EXPECT_TRUE(r.ok) << r.message.toStdString();
    for (auto it = prefs.cbegin(); it != prefs.cend(); ++it)
        started.prefs.insert(it.key(), it.value());
    m_app = std::make_unique<qm::DesktopApp>(std::move(started), dialogs, std::move(stages));
}

} // namespace qmtest
