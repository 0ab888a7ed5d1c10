#include "ui/UiFixture.h"

#include <gtest/gtest.h>

namespace qmtest {

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
