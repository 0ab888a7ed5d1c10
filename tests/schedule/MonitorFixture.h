#pragma once
// A schedule monitor on a test clock, over a host whose sessions the test
// sets before SetUp builds the day's schedule.
#include "ScheduleTestSupport.h"
#include "schedule/Clock.h"
#include "schedule/ScheduleHost.h"
#include "schedule/ScheduleMonitor.h"
#include "support/Files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qmtest {

class FakeScheduleHost : public qm::ScheduleHost {
public:
    QVariantList list;
    int current = 0;
    bool syncAndQuitOn = false;
    bool runUnderway = false;
    bool console = true;

    QVariantList sessions() const override { return list; }
    int sessionIndex() const override { return current; }
    bool syncAndQuit() const override { return syncAndQuitOn; }
    bool isRunUnderway() const override { return runUnderway; }
    bool consoleShown() const override { return console; }
};

// Starts at 07:00 on Monday 7 December 2026, Berlin time; records each run
// started (session, entry, trigger) and accepts it while acceptRuns is set.
class MonitorFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        monitor.setRunStarter([this](int sessionIndex, int entryIndex, int trigger) {
            runs.append({sessionIndex, entryIndex, trigger});
            return acceptRuns;
        });
        monitor.rebuild(true);
    }
    void checkAt(const QDateTime &now)
    {
        clock.set(now);
        monitor.checkIfTimeToSync();
    }
    // An empty file standing for a run's log.
    QString logFile(const QString &name)
    {
        EXPECT_TRUE(writeBytes(tempDir.filePath(name), {}));
        return tempDir.filePath(name);
    }

    ScopedTimeZone zone{kBerlin};
    qm::TestClock clock{at(2026, 12, 7, 7, 0)};
    FakeScheduleHost host;
    qm::ScheduleMonitor monitor{clock, host};
    QList<QList<int>> runs;
    bool acceptRuns = true;
    QTemporaryDir tempDir;
};

} // namespace qmtest
