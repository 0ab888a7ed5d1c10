#include "uimodel/ConsoleModel.h"

#include "app/AppController.h"
#include "app/AppPaths.h"
#include "app/SessionDefaults.h"
#include "engine/ExactSyncIndex.h"
#include "engine/RunDriver.h"
#include "engine/RunFeedback.h"
#include "fs/LPUtilities.h"
#include "platform/Messages.h"
#include "volumes/AutoMountList.h"
#include "volumes/VolumeUtilities.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace qm {

namespace {

constexpr int kDropPaneSourceAbove = 150;

bool isOn(const QVariantMap &m, const char *key) { return m.value(QLatin1String(key)).toInt() != 0; }
QString text(const QVariantMap &m, const char *key) { return m.value(QLatin1String(key)).toString(); }
int taskOf(const QVariantMap &session) { return session.value(QStringLiteral("settTask"), 1).toInt(); }

const char *folderKey(FolderSide side) { return side == FolderSide::Source ? "topFolder" : "bottomFolder"; }

QString optionImage(OptionButton b, bool on)
{
    const char *stem = nullptr;
    switch (b) {
    case OptionButton::Timer: stem = "icnWatch"; break;
    case OptionButton::Multi: stem = "icnMulti"; break;
    case OptionButton::Filter: stem = "icnFilter"; break;
    case OptionButton::Exclude: stem = "icnExclude"; break;
    case OptionButton::AutoMountVolumes: stem = "icnAutoMount"; break;
    default: return QString();
    }
    return QLatin1String(stem) + (on ? QLatin1String("OnBtn") : QLatin1String("OffBtn"));
}

QString countedText(const char *word, int count)
{
    return GLS(word) + QStringLiteral(" (%1)").arg(count);
}

} // namespace

ConsoleEnvironment ConsoleEnvironment::forApp(const AppPaths &paths, bool runningAsRoot,
                                              std::function<bool()> runUnderway)
{
    ConsoleEnvironment env;
    env.runningAsRoot = runningAsRoot;
    env.pathKind = pathKindAt;
    const QString indexFolder = paths.exactSyncIndexFolder;
    env.lastExactSync = [indexFolder](const QString &source, const QString &dest) {
        return ExactSyncIndexStore(indexFolder).lastExactSyncDate(source, dest);
    };
    auto volumes = std::make_shared<VolumeUtilities>();
    env.addVolume = [volumes](QVariantMap *session, const QString &path) {
        AutoMountList(*volumes).AddToAutoMountVolumeArray(session, path);
    };
    env.reveal = [](const QString &path) { LPUtilities().OpenFolder(path); };
    env.runUnderway = std::move(runUnderway);
    return env;
}

ConsoleEnvironment ConsoleEnvironment::forController(AppController &controller)
{
    return forApp(controller.paths(), controller.identity().isRoot(),
                  [&controller] { return controller.run().isRunning(); });
}

ConsoleModel::ConsoleModel(QVariantMap &document, const QVariantMap &prefs, ConsoleEnvironment env,
                           QObject *parent)
    : QObject(parent), m_doc(document), m_prefs(prefs), m_env(std::move(env))
{
    if (!m_env.pathKind)
        m_env.pathKind = pathKindAt;
    m_view.drawer.triangleImage = drawerTriangleImage(false);
    updateDrawer();
    refresh();
}

// ---- What is shown ----

int ConsoleModel::sessionCount() const { return int(m_doc.value(QStringLiteral("sessionsArray")).toList().size()); }

int ConsoleModel::sessionIndex() const { return m_doc.value(QStringLiteral("sessionIndex")).toInt(); }

bool ConsoleModel::isAllSessions() const { return RunDriver::isAllSessions(sessionIndex(), sessionCount()); }

QVariantMap ConsoleModel::session(int index) const
{
    const QVariantList list = m_doc.value(QStringLiteral("sessionsArray")).toList();
    return index >= 0 && index < list.size() ? list.at(index).toMap() : QVariantMap();
}

bool ConsoleModel::isCurrentSessionMulti() const
{
    return session(sessionIndex()).value(QStringLiteral("multiOn")).toInt() == 1;
}

bool ConsoleModel::runUnderway() const { return m_running || (m_env.runUnderway && m_env.runUnderway()); }

bool ConsoleModel::editableSession() const
{
    return !isAllSessions() && !isCurrentSessionMulti() && !session(sessionIndex()).isEmpty();
}

bool ConsoleModel::timerCheckWanted() const
{
    if (isOn(m_prefs, "prefSyncAndQuit"))
        return false;
    if (!isAllSessions())
        return isOn(session(sessionIndex()), "timerOn");
    const QVariantList list = m_doc.value(QStringLiteral("sessionsArray")).toList();
    return std::any_of(list.cbegin(), list.cend(), [](const QVariant &s) { return isOn(s.toMap(), "timerOn"); });
}

void ConsoleModel::refresh() { SetConsolePanes(sessionIndex()); }

void ConsoleModel::SetConsolePanes(int index)
{
    m_doc.insert(QStringLiteral("sessionIndex"), qlonglong(index));
    m_view.comment.clear();
    m_view.allSessions = isAllSessions();
    const bool timers = timerCheckWanted();
    OptionButtonView &timer = m_view.options[size_t(OptionButton::Timer)];
    timer = {optionImage(OptionButton::Timer, timers), QString(), true};
    if (!timers && !m_view.allSessions)
        timer.toolTip = isOn(m_prefs, "prefSyncAndQuit") ? GLS("Temporary off because of the SyncAndQuit")
                                                        : GLS("Go to the Timer panel");
    const int task = m_view.allSessions ? 1 : taskOf(session(index));
    m_view.execute = SetMainButtonName(m_view.allSessions, task);
    m_view.arrowImage = m_view.allSessions ? QStringLiteral("OrangeArrow") : arrowImageName(task);
    showSessionFields();
    EnableDisableConsolePanes(!runUnderway());
    if (runUnderway())
        m_view.execute.title = stopButtonTitle();
    Q_EMIT changed();
}

void ConsoleModel::showSessionFields()
{
    const bool root = m_env.runningAsRoot;
    if (m_view.allSessions) {
        const FolderFieldView all{countedText("All Sessions", sessionCount()),
                                  GLS("All the Sessions defined in the Session PopUpMenu"), false, root};
        m_view.source = m_view.destination = all;
        for (OptionButton b : {OptionButton::Multi, OptionButton::Filter, OptionButton::Exclude,
                               OptionButton::Conflict, OptionButton::AutoMountVolumes, OptionButton::Settings})
            m_view.options[size_t(b)] = {optionImage(b, false), QString(), false};
        m_view.sourceControls.pickToolTip = m_view.destinationControls.pickToolTip = QString();
        return;
    }
    const QVariantMap s = session(sessionIndex());
    const int task = taskOf(s);
    const bool multi = isOn(s, "multiOn");
    auto option = [&](OptionButton b, bool on) { m_view.options[size_t(b)] = {optionImage(b, on), QString(), true}; };
    option(OptionButton::Multi, multi);
    option(OptionButton::Filter, isOn(s, "filterOn"));
    option(OptionButton::Exclude, isOn(s, "excludeOn"));
    option(OptionButton::AutoMountVolumes, isOn(s, "autoMountVolumeOn"));
    option(OptionButton::Conflict, false);
    option(OptionButton::Settings, false);
    m_view.sourceControls.pickToolTip = pickToolTip(FolderSide::Source, task);
    m_view.destinationControls.pickToolTip = pickToolTip(FolderSide::Destination, task);
    if (multi) {
        const FolderFieldView list{countedText("Multiple List", int(RunDriver::usableMultiRows(s).size())),
                                   GLS("Multiple Task defined in the Multiple List"), false, root};
        m_view.source = m_view.destination = list;
        return;
    }
    const QString top = text(s, "topFolder"), bottom = text(s, "bottomFolder");
    auto field = [&](FolderSide side, const QString &path, const QString &other) {
        if (!path.isEmpty())
            return FolderFieldView{path, folderToolTip(side), false, root};
        const QString empty = GetEmptyTopBottomString(side, false, task, m_env.pathKind(other));
        return FolderFieldView{empty, empty, true, root};
    };
    m_view.source = field(FolderSide::Source, top, bottom);
    m_view.destination = field(FolderSide::Destination, bottom, top);
    if (task == int(SessionTask::Synchronize) && isOn(s, "settExact") && m_env.lastExactSync) {
        if (const std::optional<QDateTime> when = m_env.lastExactSync(top, bottom))
            m_view.comment = lastExactSyncText(*when);
    }
}

void ConsoleModel::EnableDisableConsolePanes(bool enable)
{
    m_view.menuEnabled = enable;
    const bool all = m_view.allSessions;
    const bool multi = !all && isCurrentSessionMulti();
    for (size_t i = 0; i < m_view.options.size(); ++i) {
        // The timer button stays usable with All Sessions: it leads to the
        // scheduling monitor there.
        const bool timer = i == size_t(OptionButton::Timer);
        m_view.options[i].enabled = enable && (!all || timer);
    }
    for (SideControlsView *c : {&m_view.sourceControls, &m_view.destinationControls}) {
        c->pickEnabled = enable && !all;
        c->openEnabled = enable && !all && !multi;
    }
    m_view.acceptsDrops = enable && !all && !multi;
}

// ---- Clicks ----

PickRequest ConsoleModel::TaskPickFolder(FolderSide side) const
{
    PickRequest r;
    if (runUnderway() || isAllSessions())
        return r;
    if (isCurrentSessionMulti()) {
        r.action = PickRequest::Action::FolderPairPanel;
        return r;
    }
    r.action = PickRequest::Action::ChooseItem;
    r.title = pickPanelTitle(side);
    r.buttonTitle = GLS("Choose");
    const QString current = text(session(sessionIndex()), folderKey(side));
    r.startFolder = !current.isEmpty() && QFileInfo::exists(current) ? current : QDir::homePath();
    return r;
}

void ConsoleModel::storeFolder(FolderSide side, const QString &path)
{
    QVariantList list = m_doc.value(QStringLiteral("sessionsArray")).toList();
    const int index = sessionIndex();
    QVariantMap s = list.at(index).toMap();
    s.insert(QLatin1String(folderKey(side)), path);
    if (!path.isEmpty() && m_env.addVolume)
        m_env.addVolume(&s, path);
    list[index] = s;
    m_doc.insert(QStringLiteral("sessionsArray"), list);
}

bool ConsoleModel::SetPickedFolder(const QString &path, FolderSide side)
{
    // A change of the document waits for the run, as every other one does.
    if (runUnderway() || !editableSession() || path.isEmpty())
        return false;
    storeFolder(side, path);
    refresh();
    return true;
}

OpenClickResult ConsoleModel::openFolderClicked(FolderSide side, bool controlKey, bool optionKey)
{
    if (runUnderway() || !editableSession())
        return OpenClickResult::Nothing;
    if (optionKey && !controlKey) {
        storeFolder(side, QString());
        refresh();
        return OpenClickResult::Cleared;
    }
    const QString path = text(session(sessionIndex()), folderKey(side));
    if (path.isEmpty() || !m_env.reveal)
        return OpenClickResult::Nothing;
    m_env.reveal(path);
    return OpenClickResult::Revealed;
}

FolderSide ConsoleModel::dropSide(int paneBottomAboveWindowBottom)
{
    return paneBottomAboveWindowBottom > kDropPaneSourceAbove ? FolderSide::Source : FolderSide::Destination;
}

bool ConsoleModel::dropPaths(const QStringList &paths, FolderSide side)
{
    if (paths.isEmpty() || !m_view.acceptsDrops)
        return false;
    return SetPickedFolder(paths.first(), side);
}

// ---- Drawer ----

void ConsoleModel::updateDrawer()
{
    const DrawerTexts t = drawerTexts(m_drawerMode, m_drawerSource, m_drawerDest);
    DrawerView &d = m_view.drawer;
    d.triangleImage = drawerTriangleImage(d.open);
    d.label = t.label;
    d.source = t.source;
    d.destination = t.destination;
    d.size = drawerSizeText(m_drawerSize);
}

void ConsoleModel::setDrawerOpen(bool open)
{
    if (m_view.drawer.open == open)
        return;
    m_view.drawer.open = open;
    updateDrawer();
    Q_EMIT changed();
}

void ConsoleModel::ToggleDrawer() { setDrawerOpen(!m_view.drawer.open); }

bool ConsoleModel::drawerItemNeedsSize() const
{
    return !m_drawerSource.isEmpty() && m_env.pathKind(m_drawerSource) == PathKind::Folder;
}

void ConsoleModel::setCurrentItem(int copyMode, const QString &source, const QString &dest)
{
    m_drawerMode = copyMode;
    m_drawerSource = source;
    m_drawerDest = dest;
    m_drawerSize.reset();
    updateDrawer();
    Q_EMIT changed();
}

void ConsoleModel::setDrawerSize(std::optional<qint64> bytes)
{
    m_drawerSize = bytes;
    updateDrawer();
    Q_EMIT changed();
}

// ---- Around a run ----

void ConsoleModel::enterRunningState()
{
    if (!m_running) {
        m_savedSource = m_view.source;
        m_savedDest = m_view.destination;
    }
    m_running = true;
    EnableDisableConsolePanes(false);
    m_view.execute.title = stopButtonTitle();
}

void ConsoleModel::leaveRunningState()
{
    m_running = false;
    m_view.source = m_savedSource;
    m_view.destination = m_savedDest;
    m_view.execute = SetMainButtonName(isAllSessions(), taskOf(session(sessionIndex())));
    m_view.progress = ProgressView{};
    // The run's worker may still be winding down: the console is free again
    // all the same, and the commands themselves still ask whether it is.
    EnableDisableConsolePanes(true);
}

void ConsoleModel::syncAndQuitCountdown(int secondsLeft)
{
    enterRunningState();
    m_view.comment = syncAndQuitCountdownText(secondsLeft);
    Q_EMIT changed();
}

void ConsoleModel::syncAndQuitCancelled()
{
    leaveRunningState();
    m_view.comment.clear();
    Q_EMIT changed();
}

void ConsoleModel::runStarted()
{
    enterRunningState();
    m_view.comment = GLS("Scanning Folders…");
    m_view.progress = ProgressView{true, true, 0, 0};
    Q_EMIT changed();
}

void ConsoleModel::setStatus(const QString &text)
{
    m_view.comment = text;
    Q_EMIT changed();
}

void ConsoleModel::copyStarted(int itemsToDo)
{
    m_view.progress = ProgressView{true, false, itemsToDo, 0};
    Q_EMIT changed();
}

void ConsoleModel::setItemsProgress(int done, int total)
{
    m_view.progress = ProgressView{true, false, total, std::min(done, total)};
    m_view.comment = itemsToDoText(std::max(0, total - done));
    Q_EMIT changed();
}

void ConsoleModel::DisplayExactSyncToConsole()
{
    m_view.comment = GLS("Creating Exact Sync Index…");
    m_view.progress.visible = true;
    m_view.progress.indeterminate = true;
    Q_EMIT changed();
}

void ConsoleModel::ShowMainFolderInConsole(const QString &source, const QString &dest)
{
    m_view.source.text = source;
    m_view.source.isEmptyText = false;
    m_view.destination.text = dest;
    m_view.destination.isEmptyText = false;
    Q_EMIT changed();
}

void ConsoleModel::SetOrangeArrow(int index)
{
    m_view.arrowImage = arrowImageName(taskOf(session(index)));
    Q_EMIT changed();
}

void ConsoleModel::runConcluded(const RunReport &report)
{
    leaveRunningState();
    m_drawerMode = 0;
    m_drawerSource.clear();
    m_drawerDest.clear();
    m_drawerSize.reset();
    updateDrawer();
    m_view.comment = reportText(report);
    m_view.arrowImage = reportArrowImageName(report);
    Q_EMIT changed();
}

RunReport ConsoleModel::reportOf(const RunDriver &run, bool consoleShowsAllSessions)
{
    RunReport r;
    const RunRecords &records = run.records();
    r.allSessions = consoleShowsAllSessions;
    r.startedByTimer = run.executedBy() == RunTrigger::Timer;
    r.sessionsDone = run.totSessionsDone();
    r.sessionCount = run.totSessions();
    r.task = taskOf(run.sessionDict());
    r.multi = run.isMultiOn();
    r.tasksDone = run.totMultiDone();
    r.taskCount = run.totMulti();
    r.sourceFolder = text(run.sessionDict(), "topFolder");
    r.destFolder = text(run.sessionDict(), "bottomFolder");
    if (!records.logSessionArray.isEmpty()) {
        for (const TaskRunRecord &t : records.logSessionArray.last().tasks) {
            r.sourceFilesCopied += t.counters.a.filesCopied;
            r.destFilesCopied += t.counters.b.filesCopied;
        }
    }
    r.errors = records.globalError;
    r.mailFailed = !records.mailFailure.isEmpty();
    return r;
}

void ConsoleModel::showTask(int index, const QString &source, const QString &dest)
{
    SetOrangeArrow(index);
    // Only a folder-pair task names folders the console does not show already.
    if (session(index).value(QStringLiteral("multiOn")).toInt() == 1)
        ShowMainFolderInConsole(source, dest);
}

void ConsoleModel::moveToSession(int index)
{
    // A timer run shows the session it runs, and the console's own one
    // again at its end; the texts put back after the run are that session's.
    SetConsolePanes(index);
    m_savedSource = m_view.source;
    m_savedDest = m_view.destination;
}

void ConsoleModel::follow(AppController &controller)
{
    followFeedback(controller.feedback());
    connect(&controller, &AppController::runReportReady, this,
            [this, &controller] { runConcluded(reportOf(controller.run(), isAllSessions())); });
}

void ConsoleModel::followFeedback(RunFeedback &f)
{
    connect(&f, &RunFeedback::runStarted, this, [this](RunTrigger) { runStarted(); });
    connect(&f, &RunFeedback::phaseChanged, this, [this](RunFeedback::Phase phase) {
        if (phase == RunFeedback::Phase::WritingIndex)
            DisplayExactSyncToConsole();
    });
    connect(&f, &RunFeedback::statusChanged, this, &ConsoleModel::setStatus);
    connect(&f, &RunFeedback::progressChanged, this, &ConsoleModel::setItemsProgress);
    connect(&f, &RunFeedback::currentItemChanged, this, &ConsoleModel::setCurrentItem);
    connect(&f, &RunFeedback::taskChanged, this, &ConsoleModel::showTask);
    connect(&f, &RunFeedback::countdownTicked, this, &ConsoleModel::syncAndQuitCountdown);
    connect(&f, &RunFeedback::countdownCancelled, this, &ConsoleModel::syncAndQuitCancelled);
    connect(&f, &RunFeedback::sessionMoved, this, &ConsoleModel::moveToSession);
    // A run that ends without a report (stopped in the preview) still gives
    // the console back.
    connect(&f, &RunFeedback::runEnded, this, [this] {
        if (m_running) {
            leaveRunningState();
            Q_EMIT changed();
        }
    });
}

} // namespace qm
