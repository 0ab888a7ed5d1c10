// The desktop program, a module the executable loads only when it opens the
// desktop. It is given the program's own arguments and reads them again
// itself, so that nothing but plain C crosses between the two.
#include "cli/BatchOptions.h"
#include "cli/BatchRunner.h"
#include "app/DesktopModule.h"

#include "app/Startup.h"
#include "ui/Dialogs.h"
#include "ui/DesktopApp.h"
#include "ui/DisplayCheck.h"
#include "ui/Images.h"

#include <QApplication>

#include <cstdio>
#include <type_traits>

namespace {

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

extern "C" __attribute__((visibility("default"))) int quillmere_desktop_main(int argc, char **argv)
{
    return runDesktop(argc, argv, qm::BatchOptions::parse(qm::BatchOptions::argumentsOf(argc, argv)));
}
static_assert(std::is_same_v<decltype(&quillmere_desktop_main), qm::DesktopModule::Entry>);
