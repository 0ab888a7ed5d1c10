// Entry point: with command-line options the program runs without a display;
// with none it opens the desktop program.
#include "cli/BatchOptions.h"
#include "cli/BatchRunner.h"
#include "cli/TimersRunner.h"

#include "app/AppController.h"

#include <QApplication>
#include <QMessageBox>
#include <QCoreApplication>
#include <QMainWindow>

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}

int runDesktop(int argc, char **argv)
{
    QApplication app(argc, argv);
    qm::StartedApp started;
    const qm::StartupResult checked = qm::Startup::run(qm::StartupOptions{}, &started);
    if (!checked.ok) {
        QMessageBox::warning(nullptr, checked.title, QString(checked.message).replace(u'\r', u'\n'));
        return 2;
    }
    qm::UnattendedRunQuestions questions;
    qm::AppController controller(std::move(started), questions);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quillmere %1").arg(QStringLiteral(QM_VERSION)));
    window.show();
    // At quit the open document becomes the template and the preferences are stored.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&controller] {
        controller.applicationWillTerminate(false, false);
    });
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    using qm::BatchOptions;
    const BatchOptions options = BatchOptions::parse(argumentsOf(argc, argv));
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
