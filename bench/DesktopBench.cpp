// The desktop program at work: the console shown with a document of 100
// sessions, switching sessions, and a backup of 20,000 files watched by a
// probe on the main thread's event loop.
//
//   DesktopBench [FILES]   (runs offscreen unless QT_QPA_PLATFORM says otherwise)
#include "app/SessionDocument.h"
#include "app/Startup.h"
#include "engine/RunFeedback.h"
#include "ui/ConsolePanel.h"
#include "ui/DesktopApp.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Every box answered with its default button, no panel chosen.
class QuietDialogs : public qm::Dialogs {
public:
    int alert(QWidget *, QMessageBox::Icon, const QString &, const QString &, const QStringList &) override { return 0; }
    QString chooseItem(QWidget *, const QString &, const QString &) override { return {}; }
    QString chooseFolder(QWidget *, const QString &, const QString &) override { return {}; }
    QString chooseDocument(QWidget *, const QString &) override { return {}; }
    QString chooseSavePath(QWidget *, const QString &, const QString &) override { return {}; }
    bool askName(QWidget *, QString *, const std::function<qm::NameCheck(const QString &)> &) override { return false; }
    void beep() override {}
};

void makeTree(const QString &root, int files)
{
    const QByteArray content(2048, 'q');
    for (int i = 0; i < files; ++i) {
        const QString dir = root + QStringLiteral("/d%1").arg(i / 100, 3, 10, QLatin1Char('0'));
        if (i % 100 == 0)
            QDir().mkpath(dir);
        QFile f(dir + QStringLiteral("/file%1.bin").arg(i));
        if (f.open(QIODevice::WriteOnly))
            f.write(content);
    }
}

void waitUntil(const std::function<bool()> &done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    QApplication app(argc, argv);
    const int files = argc > 1 ? atoi(argv[1]) : 20000;

    const QString source = home.path() + "/source", dest = home.path() + "/dest";
    std::printf("Making %d files of 2 KB...\n", files);
    makeTree(source, files);
    QDir().mkpath(dest);
    QVariantMap doc = qm::SessionDocument::NewTemplate();
    for (int i = 2; i < 100; ++i)
        qm::SessionDocument::AddSession(2, QStringLiteral("Session %1").arg(i), &doc);
    QVariantList sessions = doc["sessionsArray"].toList();
    QVariantMap backup = sessions[1].toMap();
    backup["topFolder"] = source;
    backup["bottomFolder"] = dest;
    sessions[1] = backup;
    doc["sessionsArray"] = sessions;
    const QString docPath = home.path() + "/hundred.qmy";

    QElapsedTimer clock;
    clock.start();
    qm::StartupOptions options;
    options.resourcesDir = QStringLiteral(QM_SOURCE_DIR "/resources");
    qm::StartedApp started;
    if (!qm::Startup::run(options, &started).ok)
        return 1;
    if (!qm::SessionDocument::WriteFileSession(&doc, docPath, started.paths.prefFolder + "/t").ok)
        return 1;
    started.prefs["prefAskConfirmation"] = 0;
    started.prefs["prefSaveLogFile"] = 0;
    clock.restart();
    QuietDialogs dialogs;
    qm::DesktopApp desktop(std::move(started), dialogs);
    const double builtMs = double(clock.nsecsElapsed()) / 1e6;
    desktop.launch(qm::LaunchOptions{{docPath}, 0});
    const double launchedMs = double(clock.nsecsElapsed()) / 1e6;
    qm::ConsoleWindow &window = desktop.window();
    waitUntil([&] { return window.isVisible() && desktop.controller().documents().isDocumentOpen(); });
    QCoreApplication::processEvents();
    const double shownMs = double(clock.nsecsElapsed()) / 1e6;
    std::printf("console shown with 100 sessions: %.1f ms (target < 1000; windows built %.0f ms, launch %.0f ms)\n",
                shownMs, builtMs, launchedMs - builtMs);

    std::vector<double> switches;
    for (int i = 0; i < 100; ++i) {
        clock.restart();
        window.chooseSession((i * 37) % 100, false);
        QCoreApplication::processEvents();
        switches.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(switches.begin(), switches.end());
    std::printf("session switch: median %.2f ms, max %.2f ms (target < 50)\n", switches[50], switches.back());

    window.chooseSession(1, false);
    qm::RunFeedback &feedback = desktop.controller().feedback();
    // Any news of the run that reaches the window: status, progress, the item.
    int updates = 0;
    qint64 lastUpdate = 0, worstSilence = 0;
    QElapsedTimer runClock;
    // Counted while items are copied, the phase with a count to show; the
    // scan shows a busy bar that moves by itself.
    bool copying = false;
    auto news = [&] {
        const qint64 now = runClock.elapsed();
        if (!copying)
            return;
        worstSilence = std::max(worstSilence, now - lastUpdate);
        lastUpdate = now;
        ++updates;
    };
    QObject::connect(&feedback, &qm::RunFeedback::progressChanged, news);
    QObject::connect(&feedback, &qm::RunFeedback::statusChanged, news);
    QObject::connect(&feedback, &qm::RunFeedback::currentItemChanged, news);
    qint64 copyStart = 0, copyEnd = 0;
    QObject::connect(&feedback, &qm::RunFeedback::phaseChanged, [&](qm::RunFeedback::Phase p) {
        const qint64 now = runClock.elapsed();
        if (p == qm::RunFeedback::Phase::Copying) {
            copying = true;
            copyStart = lastUpdate = now;
        } else if (copying) {
            news(); // the last stretch of the copy counts too
            copying = false;
            copyEnd = now;
        }
    });
    bool ended = false;
    QObject::connect(&feedback, &qm::RunFeedback::runEnded, [&ended] { ended = true; });
    // The probe: a 10 ms timer whose late ticks show how long the loop was busy.
    QElapsedTimer probeClock;
    qint64 lastTick = 0, worstGap = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = probeClock.elapsed();
        worstGap = std::max(worstGap, now - lastTick);
        lastTick = now;
    });
    probeClock.start();
    probe.start(10);
    clock.restart();
    runClock.start();
    window.consolePanel()->executeButton()->click();
    waitUntil([&] { return ended; });
    probe.stop();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const int copied = int(QDir(dest).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    std::printf("backup of %d files: %.2f s, %d folders at the destination\n", files, seconds, copied);
    std::printf("main thread: longest gap between 10 ms probe ticks %lld ms (target < 100)\n",
                static_cast<long long>(worstGap));
    const double copySeconds = double(copyEnd - copyStart) / 1000;
    std::printf("updates while copying: %d in %.2f s, %.1f per second; longest silence %lld ms (target <= 200)\n",
                updates, copySeconds, copySeconds > 0 ? updates / copySeconds : 0.0,
                static_cast<long long>(worstSilence));
    return 0;
}
