// Entry point: with command-line options the program runs without a display;
// with none it loads the desktop program, a module of its own, and opens it.
#include "cli/BatchOptions.h"
#include "cli/BatchRunner.h"
#include "app/DesktopModule.h"
#include "cli/TimersRunner.h"

#include "app/PrivilegedMode.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

int runDesktop(int argc, char **argv)
{
    // No application object exists yet to ask for its folder; the desktop
    // creates its own.
    const QString dir = QFileInfo(qm::PrivilegedMode::ownExecutable()).path();
    QString why;
    const qm::DesktopModule::Entry entry = qm::DesktopModule::load(qm::DesktopModule::candidates(dir), &why);
    if (!entry) {
        std::fprintf(stderr, "quillmere: cannot load the desktop program: %s\n", why.toLocal8Bit().constData());
        return qm::BatchRunner::CannotStart;
    }
    return entry(argc, argv);
}

} // namespace

int main(int argc, char **argv)
{
    // Before anything reads the environment or starts the toolkit.
    if (const std::optional<int> status = qm::PrivilegedMode::atProgramStart(argc, argv))
        return *status;
    using qm::BatchOptions;
    const BatchOptions options = BatchOptions::parse(BatchOptions::argumentsOf(argc, argv));
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "quillmere: %s\n%s", options.error.toLocal8Bit().constData(),
                     BatchOptions::usage().toLocal8Bit().constData());
        return qm::BatchRunner::CannotStart;
    }
    switch (options.mode) {
    case BatchOptions::Mode::Help:
        std::fputs(BatchOptions::usage().toLocal8Bit().constData(), stdout);
        return 0;
    case BatchOptions::Mode::Version:
        std::printf("Quillmere %s\n", QM_VERSION);
        return 0;
    case BatchOptions::Mode::Batch: {
        QCoreApplication app(argc, argv);
        return qm::BatchRunner::run(options);
    }
    case BatchOptions::Mode::Timers: {
        QCoreApplication app(argc, argv);
        return qm::TimersRunner::run(options);
    }
    case BatchOptions::Mode::Desktop:
        break;
    }
    return runDesktop(argc, argv);
}
