#include "cli/BatchRunner.h"

#include "app/AppController.h"
#include "app/SessionDocument.h"

#include <QCoreApplication>

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace qm {
namespace {

// The run a signal stops; a signal handler may only store into it.
std::atomic<RunFlags *> g_signalTarget{nullptr};

void onStopSignal(int)
{
    if (RunFlags *flags = g_signalTarget.load()) {
        flags->userPressedStop = true;
        flags->isCopying = false;
    }
}

class SignalGuard {
public:
    explicit SignalGuard(RunFlags &flags)
    {
        g_signalTarget = &flags;
        struct sigaction sa = {};
        sa.sa_handler = onStopSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &m_oldInt);
        sigaction(SIGTERM, &sa, &m_oldTerm);
    }
    ~SignalGuard()
    {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        g_signalTarget = nullptr;
    }

private:
    struct sigaction m_oldInt = {}, m_oldTerm = {};
};

// Progress on standard error: one rewritten line on a terminal, plain lines
// otherwise (a log file should not fill with carriage returns).
class ConsoleDisplay : public RunDisplay {
public:
    explicit ConsoleDisplay(FILE *err) : m_err(err), m_tty(isatty(fileno(err))) {}
    ~ConsoleDisplay() override { endLine(); }

    void status(const QString &text) override
    {
        if (text.isEmpty() || text == m_status)
            return;
        m_status = text;
        endLine();
        std::fprintf(m_err, "%s\n", text.toLocal8Bit().constData());
        std::fflush(m_err);
    }
    void progress(int done, int total) override
    {
        if (total <= 0)
            return;
        if (m_tty) {
            std::fprintf(m_err, "\r%d of %d items", done, total);
            m_open = true;
        } else if (done == 0 || done == total || done - m_lastPrinted >= qMax(1, total / 20)) {
            std::fprintf(m_err, "%d of %d items\n", done, total);
            m_lastPrinted = done;
        }
        std::fflush(m_err);
    }

private:
    FILE *m_err;
    bool m_tty;
    bool m_open = false;
    int m_lastPrinted = -1;
    QString m_status;

    void endLine()
    {
        if (m_open)
            std::fputc('\n', m_err);
        m_open = false;
    }
};

int cannotStart(FILE *err, const QString &why)
{
    QString line = why;
    line.replace(u'\r', u' ');
    std::fprintf(err, "quillmere: %s\n", line.simplified().toLocal8Bit().constData());
    return BatchRunner::CannotStart;
}

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

int BatchRunner::run(const BatchOptions &options, FILE *out, FILE *err)
{
    StartedApp app;
    const StartupResult started = Startup::run(StartupOptions{}, &app);
    if (!started.ok)
        return cannotStart(err, started.message);

    UnattendedQuestions questions;
    AppController controller(std::move(app), questions);
    QString why;
    if (!controller.openDocument(options.document, &why))
        return cannotStart(err, why);
    const int index = chooseSessionIndex(options, controller.document(), &why);
    if (index < 0 || !controller.setSessionIndex(index))
        return cannotStart(err, why);

    ConsoleDisplay display(err);
    controller.setDisplay(&display);
    RunDriver &run = controller.run();
    SignalGuard signals(run.flags());
    QObject::connect(&run, &RunDriver::runFinished, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    // Unattended: the error policy is "continue" and nothing is asked.
    if (!run.startRun(RunTrigger::SyncAndQuit))
        return cannotStart(err, QStringLiteral("a run is already under way"));
    QCoreApplication::exec();
    run.waitForRun();

    QString log = run.records().log;
    log.replace(u'\r', u'\n');
    std::fputs(log.toLocal8Bit().constData(), out);
    std::fflush(out);
    const RunRecords &r = run.records();
    const bool stopped = run.flags().userPressedStop;
    return stopped || r.globalError > 0 || r.abandonedInPreview ? RunErrors : Done;
}

} // namespace qm
