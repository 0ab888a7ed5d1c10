// Entry point: with command-line options the program runs without a display;
// with none it opens the desktop program.
#include "cli/BatchOptions.h"
#include "cli/BatchRunner.h"
#include "cli/TimersRunner.h"

#include "app/PrivilegedMode.h"
#include "app/Startup.h"
#include "ui/Dialogs.h"
#include "ui/DesktopApp.h"
#include "ui/DisplayCheck.h"
#include "ui/Images.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}

int runDesktop(int argc, char **argv, const qm::BatchOptions &options)
{
    // The toolkit aborts when it cannot reach a display: decide first.
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString why = qm::DisplayCheck::whyNoDisplay(env);
    if (why.isEmpty())
        why = qm::DisplayCheck::whyX11Refuses(env);
    if (!why.isEmpty()) {
        std::fprintf(stderr, "quillmere: %s\n", why.toLocal8Bit().constData());
        return qm::BatchRunner::CannotStart;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    QApplication::setDesktopFileName(QStringLiteral("quillmere"));
    QApplication::setWindowIcon(qm::applicationIcon());
    QApplication::setQuitOnLastWindowClosed(false);

    qm::WidgetDialogs dialogs;
    qm::StartupOptions startup;
    // Alt held at launch asks for a fresh start, as --defaults does.
    startup.forceDefaults = options.defaults || (QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier);
    qm::StartedApp started;
    const qm::StartupResult checked = qm::Startup::run(startup, &started);
    if (!checked.ok) {
        dialogs.alert(nullptr, QMessageBox::Warning, checked.title, checked.message, {QStringLiteral("OK")});
        return qm::BatchRunner::CannotStart;
    }
    qm::DesktopApp desktop(std::move(started), dialogs);
    QObject::connect(&desktop, &qm::DesktopApp::quitFinished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    desktop.launch(qm::LaunchOptions{options.documents});
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    // Before anything reads the environment or starts the toolkit.
    if (const std::optional<int> status = qm::PrivilegedMode::atProgramStart(argc, argv))
        return *status;
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
    return runDesktop(argc, argv, options);
}
