#include "ui/ConsoleWindow.h"

#include "platform/Messages.h"
#include "ui/ConflictsWindow.h"
#include "ui/DesktopQuestions.h"
#include "ui/DropPane.h"
#include "ui/Images.h"
#include "ui/InfoDrawer.h"
#include "ui/ListPanels.h"
#include "ui/LogWindow.h"
#include "ui/ReleaseNotesWindow.h"
#include "ui/SchedulingWindow.h"
#include "ui/ScriptsWindow.h"
#include "ui/SettingsPanel.h"
#include "ui/VolumesPanel.h"
#include "uimodel/SessionMenuModel.h"
#include "uimodel/FolderSizer.h"
#include "uimodel/MenuEnabling.h"
#include "uimodel/TextFit.h"
#include "volumes/VolumeUtilities.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace qm {

namespace {

FolderSide folderSide(int side)
{
    return side == ConsolePanel::Source ? FolderSide::Source : FolderSide::Destination;
}

// The option buttons and the panels they lead to.
Panel panelOf(ConsolePanel::Option option)
{
    switch (option) {
    case ConsolePanel::Timer: return Panel::Timer;
    case ConsolePanel::Multi: return Panel::Multi;
    case ConsolePanel::Filter: return Panel::Filter;
    case ConsolePanel::Exclude: return Panel::Exclude;
    case ConsolePanel::Conflicts: return Panel::Conflicts;
    case ConsolePanel::Volumes: return Panel::AutoMountVolumes;
    case ConsolePanel::Settings:
    case ConsolePanel::OptionCount: break;
    }
    return Panel::Settings;
}

} // namespace

ConsoleWindow::ConsoleWindow(AppController &controller, DesktopQuestions &questions, QWidget *parent)
    : QMainWindow(parent), m_controller(controller), m_questions(questions)
{
    setObjectName(QStringLiteral("ConsoleWindow"));
    setWindowIcon(applicationIcon());
    m_questions.setWindow(this);
    m_model = new ConsoleModel(controller.documents().document(), controller.prefs(),
                               ConsoleEnvironment::forController(controller), this);
    m_model->follow(controller);
    m_sizer = new FolderSizer(this);

    auto *toolbar = addToolBar(GLS("Sessions PopMenu"));
    toolbar->setObjectName(QStringLiteral("ConsoleToolbar"));
    toolbar->setMovable(false);
    m_sessions = new QComboBox(toolbar);
    m_sessions->setObjectName(QStringLiteral("sessionPopMenu"));
    m_sessions->setToolTip(GLS("Sessions PopMenu"));
    m_sessions->setMinimumContentsLength(24);
    m_sessions->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_sessionMenu = new SessionMenuModel(m_controller.sessions(), m_sessions);
    m_sessions->setModel(m_sessionMenu);
    connect(m_sessionMenu, &SessionMenuModel::selectedRowChanged, m_sessions, [this](int row) {
        const QSignalBlocker quiet(m_sessions);
        m_sessions->setCurrentIndex(row);
    });
    toolbar->addWidget(m_sessions);
    connect(m_sessions, &QComboBox::activated, this,
            [this](int position) { chooseSession(position, QApplication::keyboardModifiers() & Qt::AltModifier); });

    m_pages = new QStackedWidget(this);
    m_console = new ConsolePanel(m_pages);
    m_console->setShortener([](const QString &text, int width, const QFontMetrics &font) {
        return TruncatedString(text, FieldFit{width, [&font](const QString &t) { return font.horizontalAdvance(t); }});
    });
    m_pages->addWidget(m_console);
    m_pageOf.insert(Panel::Console, m_console);
    m_settings = new SettingsPanel(m_pages);
    m_pages->addWidget(m_settings);
    m_pageOf.insert(Panel::Settings, m_settings);
    m_lists = makeListPanels(controller, questions.dialogs(), m_pages);
    buildSessionWindows();
    for (auto it = m_lists.cbegin(); it != m_lists.cend(); ++it) {
        m_pages->addWidget(it.value());
        m_pageOf.insert(it.key(), it.value());
        connect(it.value(), &ListPanel::leave, this, [this] { GoPanel(Panel::Console); });
    }
    for (Panel p : {Panel::DocumentClosed}) {
        QWidget *page = placeholderPage(p);
        m_pages->addWidget(page);
        m_pageOf.insert(p, page);
    }
    setCentralWidget(m_pages);

    m_drawer = new InfoDrawer(this);
    addDockWidget(Qt::BottomDockWidgetArea, m_drawer);
    m_drawer->hide();
    // The dock's own close button closes the drawer as the triangle does.
    connect(m_drawer, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible && m_model->view().drawer.open && !isHidden())
            m_model->setDrawerOpen(false);
    });

    connectConsole();
    connect(m_settings, &SettingsPanel::buttonPressed, this, [this](int tag, bool optionKey) {
        const SettingsForm::ApplyResult result =
            m_settings->apply(tag, optionKey, m_controller.documents().document(), runUnderway());
        if (result.stored)
            updateMenus();
        if (!result.stayInPanel)
            GoPanel(Panel::Console);
    });
    buildMenus();
    connectRun();
    m_controller.setDocumentHooks(this);
    m_questions.setProgressAnimationHandler([this](bool running) {
        // A busy bar stands still while a question waits for the user.
        m_console->progressBar()->setEnabled(running);
    });
    resize(640, 440);
    GoPanel(Panel::Console);
}

ConsoleWindow::~ConsoleWindow()
{
    m_controller.setDocumentHooks(nullptr);
}

void ConsoleWindow::buildSessionWindows()
{
    const auto document = [this]() -> QVariantMap & { return m_controller.documents().document(); };
    ListPanelServices services;
    services.dialogs = &m_questions.dialogs();
    services.document = document;
    services.runUnderway = [this] { return runUnderway(); };
    m_volumes = new VolumesPanel(services, std::make_shared<VolumeUtilities>(), m_pages);
    m_lists.insert(Panel::AutoMountVolumes, m_volumes);

    m_conflicts = new ConflictsWindow(this);
    connect(m_conflicts, &QDialog::finished, this, [this, document](int code) {
        if (m_conflicts->apply(code, document()) == ConflictsForm::Outcome::Beep)
            m_questions.dialogs().beep();
        returnFromWindow(Panel::Conflicts);
    });
    m_scripts = new ScriptsWindow(m_questions.dialogs(), this);
    connect(m_scripts, &QDialog::finished, this, [this] { returnFromWindow(Panel::AppleScript); });
}

void ConsoleWindow::openSessionWindow(PanelAction action)
{
    const auto document = [this]() -> QVariantMap & { return m_controller.documents().document(); };
    const bool opened = action == PanelAction::OpenConflicts ? m_conflicts->openFor(document())
                                                             : m_scripts->openFor(document);
    if (!opened) {
        m_questions.dialogs().beep();
        returnFromWindow(action == PanelAction::OpenConflicts ? Panel::Conflicts : Panel::AppleScript);
    }
}

void ConsoleWindow::connectRun()
{
    connect(m_model, &ConsoleModel::changed, this, &ConsoleWindow::showConsoleView);
    connect(&m_controller, &AppController::runReportReady, this, [this] {
        const RunRecords &records = m_controller.run().records();
        if (m_log)
            m_log->refreshAtRunEnd(records.logPath, records.log);
    });
    connect(m_sizer, &FolderSizer::sizeReady, this, [this](const QString &, qint64 bytes) { m_model->setDrawerSize(bytes); });
    RunFeedback &f = m_controller.feedback();
    connect(&f, &RunFeedback::runStarted, this, [this] { updateRunState(); });
    connect(&f, &RunFeedback::runEnded, this, [this] {
        updateRunState();
        Q_EMIT runEnded(isActiveWindow());
    });
    connect(&f, &RunFeedback::countdownTicked, this, [this] { updateRunState(); });
    connect(&f, &RunFeedback::countdownCancelled, this, [this] { updateRunState(); });
    connect(&f, &RunFeedback::sessionMoved, this, [this] { showSessionMenu(); });
}

void ConsoleWindow::showConsoleView()
{
    const ConsoleView &view = m_model->view();
    m_console->show(view);
    if (QAction *execute = action(ExecuteTag))
        execute->setText(view.execute.title);
    const DrawerView &d = view.drawer;
    m_drawer->show(DrawerText{d.label, d.source, d.destination, d.size});
    if (m_drawer->isVisible() != d.open)
        m_drawer->setVisible(d.open);
    if (d.open && m_model->drawerItemNeedsSize() && d.source != m_sizing) {
        m_sizing = d.source;
        m_sizer->request(d.source);
    }
}

void ConsoleWindow::documentReplaced()
{
    refresh();
}

void ConsoleWindow::documentRenamed()
{
    setWindowTitle(m_controller.documents().windowTitle());
}

void ConsoleWindow::sessionsChanged()
{
    refresh();
}

QWidget *ConsoleWindow::placeholderPage(Panel panel)
{
    // The list editors and the closed-document state: a page the program
    // switches to, with the way back to the console.
    auto *page = new QWidget(m_pages);
    page->setObjectName(panelIdentifier(panel));
    auto *layout = new QVBoxLayout(page);
    layout->addStretch();
    if (panel != Panel::DocumentClosed) {
        auto *back = new QPushButton(GLS("OK"), page);
        connect(back, &QPushButton::clicked, this, [this] { GoPanel(Panel::Console); });
        layout->addWidget(back, 0, Qt::AlignRight);
    }
    return page;
}

void ConsoleWindow::connectConsole()
{
    ConsolePanel *c = m_console;
    connect(c, &ConsolePanel::pickRequested, this, &ConsoleWindow::TaskPickFolder);
    connect(c, &ConsolePanel::openRequested, this, [this](int side, Qt::KeyboardModifiers m) {
        m_model->openFolderClicked(folderSide(side), m & Qt::ControlModifier, m & Qt::AltModifier);
    });
    connect(c, &ConsolePanel::revealRequested, this,
            [this](int side) { m_model->openFolderClicked(folderSide(side), true, false); });
    connect(c, &ConsolePanel::clearRequested, this,
            [this](int side) { m_model->openFolderClicked(folderSide(side), false, true); });
    connect(c, &ConsolePanel::folderDropped, this, [this](int side, const QString &path) { SetPickedFolder(path, side); });
    connect(c, &ConsolePanel::executeRequested, this, &ConsoleWindow::TaskExecuteSyncOrBackup);
    connect(c, &ConsolePanel::optionRequested, this, &ConsoleWindow::goOption);
    connect(c, &ConsolePanel::drawerToggled, this, [this] { m_model->ToggleDrawer(); });
    for (int side = 0; side < 2; ++side)
        c->dropPane(side)->setAcceptance([this] { return m_model->view().acceptsDrops; });
}

QAction *ConsoleWindow::addCommand(QMenu *menu, int tag, const QString &title, const QKeySequence &keys,
                                   std::function<void()> run)
{
    QAction *a = menu->addAction(title);
    a->setShortcut(keys);
    a->setData(tag);
    connect(a, &QAction::triggered, this, [run = std::move(run)] { run(); });
    if (tag)
        m_actions.insert(tag, a);
    return a;
}

void ConsoleWindow::buildMenus()
{
    DocumentLifecycle &docs = m_controller.documents();
    QMenu *file = menuBar()->addMenu(GLS("File"));
    addCommand(file, NewTag, GLS("New"), QKeySequence::New, [this, &docs] {
        docs.FileNew();
        afterDocumentCommand();
    });
    addCommand(file, OpenTag, GLS("Open…"), QKeySequence::Open, [this] { FileOpen(); });
    m_recentMenu = file->addMenu(GLS("Open Recent"));
    m_recentMenu->menuAction()->setData(int(OpenRecentTag));
    m_actions.insert(OpenRecentTag, m_recentMenu->menuAction());
    connect(m_recentMenu, &QMenu::aboutToShow, this, &ConsoleWindow::rebuildRecentMenu);
    file->addSeparator();
    addCommand(file, CloseTag, GLS("Close"), QKeySequence::Close, [this] { close(); });
    addCommand(file, SaveTag, GLS("Save"), QKeySequence::Save, [this, &docs] {
        docs.SaveAFile();
        afterDocumentCommand();
    });
    QAction *saveAs = addCommand(file, 0, GLS("Save As…"), QKeySequence(QStringLiteral("Ctrl+Shift+S")),
                                 [this, &docs] {
                                     docs.FileSaveAs();
                                     afterDocumentCommand();
                                 });
    saveAs->setData(int(SaveTag));
    m_actions.insert(-SaveTag, saveAs);
    addCommand(file, RevertTag, GLS("Revert to Saved"), QKeySequence(), [this, &docs] {
        docs.revertToSaved();
        afterDocumentCommand();
    });
    file->addSeparator();
    addCommand(file, PreferencesTag, GLS("Preferences…"), QKeySequence(QStringLiteral("Ctrl+,")),
               [this] { GoPanel(Panel::Preferences); });
    file->addSeparator();
    QAction *quit = addCommand(file, 0, GLS("Quit"), QKeySequence::Quit, [this] { Q_EMIT quitCommand(); });
    quit->setMenuRole(QAction::QuitRole);

    QMenu *session = menuBar()->addMenu(GLS("Session"));
    const auto byTag = [this](int tag) {
        const SessionMenu menu = m_controller.sessions().menu();
        for (int i = 0; i < menu.items.size(); ++i)
            if (menu.items.at(i).tag == tag)
                chooseSession(i, false);
    };
    addCommand(session, NewSessionTag, GLS("New Session"), QKeySequence(QStringLiteral("Ctrl+Shift+N")),
               [byTag] { byTag(SessionMenuItem::NewTag); });
    addCommand(session, DuplicateSessionTag, GLS("Duplicate Session"), QKeySequence(QStringLiteral("Ctrl+D")),
               [byTag] { byTag(SessionMenuItem::DuplicateTag); });
    addCommand(session, RenameSessionTag, GLS("Rename Session…"), QKeySequence(),
               [byTag] { byTag(SessionMenuItem::RenameTag); });
    addCommand(session, RemoveSessionTag, GLS("Remove Session…"), QKeySequence(),
               [byTag] { byTag(SessionMenuItem::RemoveTag); });
    session->addSeparator();
    addCommand(session, AllSessionsMenuTag, GLS("All Sessions"), QKeySequence(),
               [byTag] { byTag(SessionMenuItem::AllSessionsTag); });

    // The third menu's third command is Execute/Stop.
    QMenu *task = menuBar()->addMenu(GLS("Task"));
    addCommand(task, PickSourceTag, GLS("Choose the source Folder"), QKeySequence(),
               [this] { TaskPickFolder(ConsolePanel::Source); });
    addCommand(task, PickDestinationTag, GLS("Choose the destination Folder"), QKeySequence(),
               [this] { TaskPickFolder(ConsolePanel::Destination); });
    addCommand(task, ExecuteTag, GLS("Synchronize"), QKeySequence(QStringLiteral("Ctrl+Return")),
               [this] { TaskExecuteSyncOrBackup(); });

    QMenu *options = menuBar()->addMenu(GLS("Options"));
    const auto option = [this](ConsolePanel::Option o) { goOption(o, QApplication::keyboardModifiers()); };
    addCommand(options, TimersTag, GLS("Timers"), QKeySequence(QStringLiteral("Ctrl+1")), [option] { option(ConsolePanel::Timer); });
    addCommand(options, FolderPairsTag, GLS("Multiple"), QKeySequence(QStringLiteral("Ctrl+2")), [option] { option(ConsolePanel::Multi); });
    addCommand(options, FiltersTag, GLS("Filters"), QKeySequence(QStringLiteral("Ctrl+3")), [option] { option(ConsolePanel::Filter); });
    addCommand(options, ExcludesTag, GLS("Excludes"), QKeySequence(QStringLiteral("Ctrl+4")), [option] { option(ConsolePanel::Exclude); });
    addCommand(options, ConflictsTag, GLS("Conflicts"), QKeySequence(QStringLiteral("Ctrl+5")), [option] { option(ConsolePanel::Conflicts); });
    addCommand(options, VolumesTag, GLS("Volumes"), QKeySequence(QStringLiteral("Ctrl+6")), [option] { option(ConsolePanel::Volumes); });
    addCommand(options, ScriptsTag, GLS("Scripts"), QKeySequence(QStringLiteral("Ctrl+7")), [this] { GoPanel(Panel::AppleScript); });
    addCommand(options, SettingsTag, GLS("Settings"), QKeySequence(QStringLiteral("Ctrl+8")), [option] { option(ConsolePanel::Settings); });

    QMenu *window = menuBar()->addMenu(GLS("Window"));
    addCommand(window, ShowConsoleTag, GLS("Console"), QKeySequence(QStringLiteral("Ctrl+0")), [this] {
        show();
        raise();
        activateWindow();
    });
    addCommand(window, 0, GLS("Information"), QKeySequence(QStringLiteral("Ctrl+I")),
               [this] { setDrawerOpen(!isDrawerOpen()); });
    m_log = new LogWindow(this);
    addCommand(window, 0, GLS("Log Window"), QKeySequence(QStringLiteral("Ctrl+L")), [this] {
        const RunRecords &records = m_controller.run().records();
        m_log->WindowOpenLog(records.logPath, records.log);
    });
    m_scheduling = new SchedulingWindow(m_controller.schedule(),
                                        [this](const QString &path) { m_log->OpenLogWithFileFromScheduling(path); }, this);
    addCommand(window, 0, GLS("Scheduling"), QKeySequence(QStringLiteral("Ctrl+Shift+T")),
               [this] { m_scheduling->WindowOpenScheduling(); });

    QMenu *help = menuBar()->addMenu(GLS("Help"));
    QAction *about = addCommand(help, AboutTag, GLS("About Quillmere"), QKeySequence(), [this] { GoPanel(Panel::About); });
    about->setMenuRole(QAction::AboutRole);
    // "What's New…" exists only in a program built with a release-information address.
    help->addAction((new ReleaseNotesWindow(ReleaseNotice::builtInAddress(), this))->menuAction());

    // Enabling is decided when a menu opens, and kept current for the shortcuts.
    for (QMenu *m : {file, session, task, options, window, help})
        connect(m, &QMenu::aboutToShow, this, &ConsoleWindow::updateMenus);
}

void ConsoleWindow::rebuildRecentMenu()
{
    m_recentMenu->clear();
    DocumentLifecycle &docs = m_controller.documents();
    for (const QString &path : docs.recentDocuments().paths())
        m_recentMenu->addAction(QFileInfo(path).completeBaseName(), this, [this, path] { openDocument(path); })
            ->setToolTip(path);
    m_recentMenu->addSeparator();
    m_recentMenu->addAction(GLS("Clear Menu"), this, [&docs] { docs.recentDocuments().clear(); });
}

bool ConsoleWindow::runUnderway() const
{
    const RunDriver &run = const_cast<AppController &>(m_controller).run();
    return run.isRunning() || run.flags().isStartingSyncAndQuit;
}

bool ConsoleWindow::allSessionsCurrent() const
{
    return const_cast<AppController &>(m_controller).sessions().IsCurrentSessionAllSessions();
}

bool ConsoleWindow::isDrawerOpen() const
{
    return m_model->view().drawer.open;
}

void ConsoleWindow::setDrawerOpen(bool open)
{
    m_model->setDrawerOpen(open);
}

void ConsoleWindow::refresh()
{
    DocumentLifecycle &docs = m_controller.documents();
    setWindowTitle(docs.isDocumentOpen() ? docs.windowTitle() : QStringLiteral("Quillmere"));
    showSessionMenu();
    if (m_navigator.currentTab() == Panel::Console && !runUnderway())
        m_model->SetConsolePanes(m_controller.documentSessionIndex());
    else if (m_navigator.currentTab() == Panel::Settings && !allSessionsCurrent())
        m_settings->fill(m_controller.document());
    else if (ListPanel *list = listPanel(m_navigator.currentTab()); list && !allSessionsCurrent())
        list->load(m_controller.document());
    updateMenus();
}

void ConsoleWindow::showSessionMenu()
{
    const PanelEntry entry = qm::GoPanel(m_navigator.currentTab());
    const bool enabled = entry.menuEnabled && m_controller.documents().isDocumentOpen() && !runUnderway();
    m_sessionMenu->setEnabled(enabled, entry.menuAllowsAllSessions);
    m_sessions->setEnabled(m_sessionMenu->isEnabled());
}

void ConsoleWindow::updateRunState()
{
    const bool busy = runUnderway();
    if (busy != m_running) {
        m_running = busy;
        showSessionMenu();
    }
    updateMenus();
}

void ConsoleWindow::updateMenus()
{
    DocumentLifecycle &docs = m_controller.documents();
    MenuState state;
    state.runUnderway = runUnderway();
    state.anyWindowVisible = isVisible();
    state.documentOpen = docs.isDocumentOpen();
    state.documentHasFile = docs.isDocumentSaved() && !docs.pathDocumentFile().isEmpty();
    state.consoleShowsMainPanel = m_navigator.currentTab() == Panel::Console;
    state.allSessionsCurrent = allSessionsCurrent();
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
        it.value()->setEnabled(isMenuItemEnabled(it.value()->data().toInt(), state));
}

void ConsoleWindow::GoPanel(Panel panel)
{
    const std::optional<PanelEntry> entry = m_navigator.go(panel, runUnderway());
    if (!entry)
        return;
    // The timer check runs only while the console shows its main panel.
    m_controller.setConsolePanelShown(panel == Panel::Console);
    switch (entry->action) {
    case PanelAction::OpenAbout:
        Q_EMIT aboutRequested();
        return;
    case PanelAction::OpenPreferences:
        Q_EMIT preferencesRequested();
        return;
    case PanelAction::FillSettings:
        m_settings->fill(m_controller.document());
        break;
    case PanelAction::OpenConflicts:
    case PanelAction::OpenScripts:
        // Windows over the console, which stays on its page behind them.
        m_pages->setCurrentWidget(m_console);
        refresh();
        openSessionWindow(entry->action);
        return;
    default:
        break;
    }
    if (QWidget *page = m_pageOf.value(entry->isTab ? panel : Panel::Console))
        m_pages->setCurrentWidget(page);
    if (!entry->isTab && panel != Panel::DocumentClosed)
        m_pages->setCurrentWidget(m_pageOf.value(panel));
    refresh();
}

void ConsoleWindow::returnFromWindow(Panel window)
{
    GoPanel(m_navigator.afterWindowCloses(window, isVisible()));
}

void ConsoleWindow::goOption(ConsolePanel::Option option, Qt::KeyboardModifiers modifiers)
{
    if (option == ConsolePanel::Timer
        && PanelNavigator::timerCommandOpensMonitor(allSessionsCurrent(), modifiers & Qt::AltModifier)) {
        m_scheduling->WindowOpenScheduling();
        return;
    }
    if (runUnderway() || (allSessionsCurrent() && option != ConsolePanel::Timer))
        return;
    GoPanel(panelOf(option));
}

void ConsoleWindow::chooseSession(int position, bool optionKey)
{
    const SessionCommandResult r = m_sessionMenu->choose(position, optionKey);
    if (r.outcome == SessionCommandResult::Outcome::Refused && !r.message.isEmpty())
        m_questions.warn(DocumentQuestions::AlertKind::Plain, r.message);
    refresh();
}

void ConsoleWindow::TaskPickFolder(int side)
{
    const PickRequest request = m_model->TaskPickFolder(folderSide(side));
    switch (request.action) {
    case PickRequest::Action::Nothing:
        return;
    case PickRequest::Action::FolderPairPanel:
        GoPanel(Panel::Multi);
        return;
    case PickRequest::Action::ChooseItem:
        break;
    }
    const QString chosen = m_questions.dialogs().chooseItem(this, request.title, request.startFolder);
    if (!chosen.isEmpty())
        SetPickedFolder(chosen, side);
}

void ConsoleWindow::SetPickedFolder(const QString &path, int side)
{
    m_model->SetPickedFolder(path, folderSide(side));
}

void ConsoleWindow::TaskExecuteSyncOrBackup()
{
    if (m_navigator.currentTab() != Panel::Console || !m_controller.documents().isDocumentOpen())
        return;
    m_controller.run().TaskExecuteSyncOrBackup();
    updateRunState();
}

void ConsoleWindow::FileOpen()
{
    if (runUnderway())
        return;
    const QString path = m_questions.chooseDocumentToOpen(QDir::homePath());
    if (!path.isEmpty())
        openDocument(path);
}

void ConsoleWindow::openDocument(const QString &path)
{
    // A file the user chose and that cannot be read is always explained,
    // not only when it is too new: otherwise nothing would seem to happen.
    const int warned = m_questions.warningsShown();
    const DocumentLifecycle::OpenResult r = m_controller.documents().openFile(path);
    if (!r.ok && !r.message.isEmpty() && m_questions.warningsShown() == warned)
        m_questions.warn(DocumentQuestions::AlertKind::Critical, r.message);
    afterDocumentCommand();
}

void ConsoleWindow::afterDocumentCommand()
{
    DocumentLifecycle &docs = m_controller.documents();
    if (docs.isDocumentOpen()) {
        if (m_navigator.currentTab() != Panel::Console || m_pages->currentWidget() == m_pageOf.value(Panel::DocumentClosed))
            GoPanel(Panel::Console);
        show();
    } else {
        GoPanel(Panel::DocumentClosed);
    }
    refresh();
}

void ConsoleWindow::closeEvent(QCloseEvent *event)
{
    // Closing the console lets the document go, after its question.
    if (!m_controller.documents().windowShouldClose()) {
        event->ignore();
        return;
    }
    m_pages->setCurrentWidget(m_pageOf.value(Panel::DocumentClosed));
    event->accept();
    updateMenus();
    // Without the console there is no menu left on this desktop: closing it quits.
    Q_EMIT documentLetGo();
}

} // namespace qm
