#include "cli/ConsoleDisplay.h"

#include <unistd.h>

namespace qm {

ConsoleDisplay::ConsoleDisplay(FILE *err, RunFeedback &feedback) : m_err(err), m_tty(isatty(fileno(err)))
{
    connect(&feedback, &RunFeedback::statusChanged, this, &ConsoleDisplay::status);
    connect(&feedback, &RunFeedback::progressChanged, this, &ConsoleDisplay::progress);
}

ConsoleDisplay::~ConsoleDisplay()
{
    endLine();
}

void ConsoleDisplay::status(const QString &text)
{
    if (text.isEmpty() || text == m_status)
        return;
    m_status = text;
    endLine();
    std::fprintf(m_err, "%s\n", text.toLocal8Bit().constData());
    std::fflush(m_err);
}

void ConsoleDisplay::progress(int done, int total)
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

void ConsoleDisplay::endLine()
{
    if (m_open)
        std::fputc('\n', m_err);
    m_open = false;
}

std::unique_ptr<AppController> startWithDocument(const QString &document, RunQuestions &questions,
                                                 FILE *err)
{
    StartedApp app;
    const StartupResult started = Startup::run(StartupOptions{}, &app);
    if (!started.ok) {
        reportCannotStart(err, started.message);
        return nullptr;
    }
    auto controller = std::make_unique<AppController>(std::move(app), questions);
    QString why;
    if (!controller->openDocument(document, &why)) {
        reportCannotStart(err, why);
        return nullptr;
    }
    return controller;
}

int reportCannotStart(FILE *err, const QString &why)
{
    QString line = why;
    line.replace(u'\r', u' ');
    std::fprintf(err, "quillmere: %s\n", line.simplified().toLocal8Bit().constData());
    return 2;
}

} // namespace qm
