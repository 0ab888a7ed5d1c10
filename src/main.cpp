// Entry point: with command-line options the program runs without a display;
// with none it opens the desktop program.
#include <QApplication>
#include <QCoreApplication>
#include <QMainWindow>

#include <cstdio>
#include <cstring>

namespace {

bool wantsCommandLine(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--", 2) == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (wantsCommandLine(argc, argv)) {
        QCoreApplication app(argc, argv);
        const QStringList args = app.arguments();
        if (args.contains(QStringLiteral("--version"))) {
            std::printf("Quillmere %s\n", QM_VERSION);
            return 0;
        }
        std::printf("usage: quillmere [--batch DOCUMENT [--session N | --all]] [--help] [--version]\n");
        return args.contains(QStringLiteral("--help")) ? 0 : 2;
    }
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quillmere"));
    window.show();
    return app.exec();
}
