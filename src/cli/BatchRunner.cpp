#include "cli/BatchRunner.h"

#include "app/AppController.h"
#include "app/SessionDocument.h"
#include "cli/ConsoleDisplay.h"
#include "cli/StopSignals.h"
#include "cli/TerminalConflicts.h"
#include "report/RunLog.h"

#include <cstdio>
#include <unistd.h>

#include <QCoreApplication>


namespace qm {
namespace {

int chooseSessionIndex(const BatchOptions &o, const QVariantMap &doc, QString *why)
{
    const int n = SessionDocument::sessionCount(doc);
    switch (o.sessions) {
    case BatchOptions::Sessions::All:
        return n + 1;
    case BatchOptions::Sessions::One:
        if (o.sessionNumber > n) {
            *why = QStringLiteral("the document has %1 session(s), not %2").arg(n).arg(o.sessionNumber);
            return -1;
        }
        return o.sessionNumber - 1;
    case BatchOptions::Sessions::Current:
        break;
    }
    const int current = doc.value("sessionIndex").toInt();
    if ((current >= 0 && current < n) || current == n + 1)
        return current;
    *why = QStringLiteral("the document's current session is not valid");
    return -1;
}

} // namespace

void BatchRunner::printLog(const QString &log, FILE *out)
{
    forEachLogPiece(log, [out](QStringView piece) {
        QString lines = piece.toString();
        lines.replace(u'\r', u'\n');
        return std::fputs(lines.toLocal8Bit().constData(), out) >= 0;
    });
    std::fflush(out);
}

int BatchRunner::run(const BatchOptions &options, FILE *out, FILE *err)
{
    // Questions need someone at a terminal on both ends.
    UnattendedRunQuestions unattended;
    TerminalRunQuestions terminal(stdin, err);
    const bool ask = options.ask && isatty(fileno(stdin)) && isatty(fileno(err));
    RunQuestions &questions = ask ? static_cast<RunQuestions &>(terminal) : unattended;
    const std::unique_ptr<AppController> started = startWithDocument(options.document, questions, err);
    if (!started)
        return CannotStart;
    AppController &controller = *started;
    QString why;
    const int index = chooseSessionIndex(options, controller.document(), &why);
    if (index < 0 || !controller.setSessionIndex(index))
        return reportCannotStart(err, why);

    ConsoleDisplay display(err, controller.feedback());
    RunDriver &run = controller.run();
    StopSignals signals(run.flags());
    QObject::connect(&controller.feedback(), &RunFeedback::runEnded, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    // Unattended: the error policy is "continue" and nothing is asked.
    if (!run.startRun(RunTrigger::SyncAndQuit))
        return reportCannotStart(err, QStringLiteral("a run is already under way"));
    QCoreApplication::exec();
    run.waitForRun();

    printLog(run.records().log, out);
    const RunRecords &r = run.records();
    const bool stopped = run.flags().userPressedStop;
    return stopped || r.globalError > 0 || r.abandonedInPreview ? RunErrors : Done;
}

} // namespace qm
