#include "cli/TimersRunner.h"

#include "app/AppController.h"
#include "cli/ConsoleDisplay.h"
#include "cli/StopSignals.h"
#include "cli/BatchRunner.h"

#include <QCoreApplication>
#include <QTimer>

namespace qm {

int TimersRunner::run(const BatchOptions &options, FILE *out, FILE *err)
{
    UnattendedRunQuestions questions;
    const std::unique_ptr<AppController> started = startWithDocument(options.document, questions, err);
    if (!started)
        return 2;
    AppController &controller = *started;
    if (controller.preferences().value("prefSyncAndQuit").toInt() != 0)
        return reportCannotStart(err, QStringLiteral("timers are off while Sync And Quit is on"));

    ConsoleDisplay display(err, controller.feedback());
    RunDriver &driver = controller.run();
    // The controller's schedule starts each due run and marks it done, as
    // in the desktop program; here only the log is printed.
    QObject::connect(&controller.feedback(), &RunFeedback::runEnded, &display, [&] {
        BatchRunner::printLog(driver.records().log, out);
    });

    StopSignals signals(driver.flags());
    // A stop ends the run under way (if any) and then the program.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (signals.received() && !driver.isRunning())
            QCoreApplication::quit();
    });
    poll.start(200);
    // There is no other panel: the console's main panel is always shown.
    controller.setConsolePanelShown(true);
    controller.schedule().checkIfTimeToSync();
    QCoreApplication::exec();
    return 0;
}

} // namespace qm
