#include "cli/TimersRunner.h"

#include "app/AppController.h"
#include "cli/ConsoleDisplay.h"
#include "cli/StopSignals.h"
#include "schedule/Clock.h"
#include "schedule/ScheduleHost.h"
#include "schedule/ScheduleMonitor.h"

#include <QCoreApplication>
#include <QTimer>

namespace qm {
namespace {

class ControllerScheduleHost : public ScheduleHost {
public:
    explicit ControllerScheduleHost(AppController &c) : m_c(c) {}
    QVariantList sessions() const override { return m_c.sessionsArray(); }
    int sessionIndex() const override { return m_c.documentSessionIndex(); }
    bool syncAndQuit() const override { return m_c.preferences().value("prefSyncAndQuit").toInt() != 0; }
    bool isRunUnderway() const override { return m_c.run().isRunning(); }
    // There is no console: the schedule is always to be kept.
    bool consoleShown() const override { return true; }

private:
    AppController &m_c;
};

} // namespace

int TimersRunner::run(const BatchOptions &options, FILE *out, FILE *err)
{
    UnattendedQuestions questions;
    const std::unique_ptr<AppController> started = startWithDocument(options.document, questions, err);
    if (!started)
        return 2;
    AppController &controller = *started;
    if (controller.preferences().value("prefSyncAndQuit").toInt() != 0)
        return reportCannotStart(err, QStringLiteral("timers are off while Sync And Quit is on"));

    ConsoleDisplay display(err);
    controller.setDisplay(&display);
    SystemClock clock;
    ControllerScheduleHost host(controller);
    ScheduleMonitor monitor(clock, host);
    RunDriver &driver = controller.run();
    monitor.setRunStarter([&driver](int session, int, int) { return driver.startFromTimer(session); });
    QObject::connect(&driver, &RunDriver::runFinished, &monitor, [&] {
        QString log = driver.records().log;
        log.replace(u'\r', u'\n');
        std::fputs(log.toLocal8Bit().constData(), out);
        std::fflush(out);
        monitor.markDone(driver.records().globalError, driver.records().logPath);
    });

    StopSignals signals(driver.flags());
    // A stop ends the run under way (if any) and then the program.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (signals.received() && !driver.isRunning())
            QCoreApplication::quit();
    });
    poll.start(200);
    monitor.rebuild(true);
    monitor.setCheckEnabled(true);
    monitor.checkIfTimeToSync();
    QCoreApplication::exec();
    return 0;
}

} // namespace qm
