#include "ui/ConsolePanel.h"

#include "platform/Messages.h"
#include "ui/DropPane.h"
#include "ui/Images.h"
#include "uimodel/TextFit.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace qm {

namespace {

// The open buttons also take Ctrl and Alt with the click; desktops often
// keep Alt+click for themselves, so the menu offers both too.
class OpenButton : public QToolButton {
public:
    using QToolButton::QToolButton;
    Qt::KeyboardModifiers lastModifiers;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        lastModifiers = event->modifiers();
        QToolButton::mouseReleaseEvent(event);
    }
};

} // namespace

ConsolePanel::ConsolePanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("console"));
    auto *folders = new QVBoxLayout;
    folders->addWidget(makeFolderRow(Source));
    m_arrow = new QLabel(this);
    m_arrow->setObjectName(QStringLiteral("consArrow"));
    m_arrow->setAlignment(Qt::AlignCenter);
    m_arrow->setFixedHeight(44);
    folders->addWidget(m_arrow);
    folders->addWidget(makeFolderRow(Destination));

    m_execute = new QPushButton(this);
    m_execute->setObjectName(QStringLiteral("consExecuteBtn"));
    m_execute->setMinimumWidth(130);
    m_execute->setDefault(true);
    connect(m_execute, &QPushButton::clicked, this, &ConsolePanel::executeRequested);

    static const char *const names[OptionCount] = {"consGoTimerBtn", "consGoMultiBtn", "consGoFilterBtn",
                                                   "consGoExcludeBtn", "consGoConflictBtn",
                                                   "consGoAutoMountVolumesBtn", "consGoSettingsBtn"};
    static const char *const titles[OptionCount] = {"Timers", "Multiple", "Filters", "Excludes",
                                                    "Conflicts", "Volumes", "Settings"};
    auto *options = new QHBoxLayout;
    options->setSpacing(2);
    for (int i = 0; i < OptionCount; ++i) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(names[i]));
        b->setText(GLS(titles[i]));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setIconSize(QSize(28, 28));
        b->setAutoRaise(true);
        b->setMinimumWidth(64);
        connect(b, &QToolButton::clicked, this, [this, i] {
            Q_EMIT optionRequested(Option(i), QApplication::keyboardModifiers());
        });
        m_options[i] = b;
        options->addWidget(b);
    }
    m_options[Conflicts]->setIcon(namedImage(QStringLiteral("icnConflictBtn")));
    m_options[Settings]->setIcon(namedImage(QStringLiteral("icnSettingsBtn")));
    options->addStretch();
    options->addWidget(m_execute, 0, Qt::AlignVCenter);

    m_comment = new QLabel(this);
    m_comment->setObjectName(QStringLiteral("consTaskComment"));
    m_comment->setFrameShape(QFrame::StyledPanel);
    m_comment->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_comment->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_comment->setMinimumHeight(4 * fontMetrics().lineSpacing());
    m_comment->setMargin(4);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("consProgressBar"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);

    m_drawerButton = new QToolButton(this);
    m_drawerButton->setObjectName(QStringLiteral("consToggleDrawerBtn"));
    m_drawerButton->setAutoRaise(true);
    m_drawerButton->setIconSize(QSize(12, 12));
    connect(m_drawerButton, &QToolButton::clicked, this, &ConsolePanel::drawerToggled);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_drawerButton);
    bottom->addWidget(m_progress, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(folders);
    layout->addSpacing(6);
    layout->addLayout(options);
    layout->addWidget(m_comment, 1);
    layout->addLayout(bottom);
}

QWidget *ConsolePanel::makeFolderRow(int side)
{
    auto *pane = new DropPane(this);
    pane->setObjectName(side == Source ? QStringLiteral("consDragTopPane")
                                                         : QStringLiteral("consDragBottomPane"));
    pane->setFrameShape(QFrame::StyledPanel);
    connect(pane, &DropPane::dropped, this, [this, side](const QString &path) { Q_EMIT folderDropped(side, path); });

    auto *field = new QLabel(pane);
    field->setObjectName(side == Source ? QStringLiteral("sourcePathField")
                                                          : QStringLiteral("destPathField"));
    field->setMinimumWidth(200);
    field->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto *pick = new QPushButton(GLS("Choose") + QStringLiteral("…"), pane);
    pick->setObjectName(side == Source ? QStringLiteral("consPickTopFolderBtn")
                                                         : QStringLiteral("consPickBottomFolderBtn"));
    connect(pick, &QPushButton::clicked, this, [this, side] { Q_EMIT pickRequested(side); });

    auto *open = new OpenButton(pane);
    open->setObjectName(side == Source ? QStringLiteral("consOpenTopFolderBtn")
                                                         : QStringLiteral("consOpenBottomFolderBtn"));
    open->setText(GLS("Open"));
    open->setPopupMode(QToolButton::DelayedPopup);
    auto *menu = new QMenu(open);
    menu->addAction(GLS("Show in File Manager"), this, [this, side] { Q_EMIT revealRequested(side); });
    menu->addAction(GLS("Clear"), this, [this, side] { Q_EMIT clearRequested(side); });
    open->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(open, &QWidget::customContextMenuRequested, open,
            [open, menu](const QPoint &at) { menu->popup(open->mapToGlobal(at)); });
    connect(open, &QToolButton::clicked, this, [this, side, open] {
        Q_EMIT openRequested(side, open->lastModifiers | QApplication::keyboardModifiers());
        open->lastModifiers = {};
    });

    auto *row = new QHBoxLayout(pane);
    row->setContentsMargins(8, 6, 8, 6);
    row->addWidget(field, 1);
    row->addWidget(pick);
    row->addWidget(open);
    m_panes[side] = pane;
    m_fields[side] = field;
    m_pick[side] = pick;
    m_open[side] = open;
    return pane;
}

void ConsolePanel::show(const ConsoleView &view)
{
    m_view = view;
    for (int side = 0; side < 2; ++side) {
        const FolderSide s = side == Source ? FolderSide::Source : FolderSide::Destination;
        const FolderFieldView &field = view.field(s);
        const SideControlsView &controls = view.controls(s);
        QPalette palette = m_fields[side]->palette();
        palette.setColor(QPalette::WindowText,
                         field.blue ? QColor(Qt::blue) : QApplication::palette().color(QPalette::WindowText));
        m_fields[side]->setPalette(palette);
        m_fields[side]->setToolTip(field.toolTip);
        m_pick[side]->setToolTip(controls.pickToolTip);
        m_pick[side]->setEnabled(controls.pickEnabled);
        m_open[side]->setEnabled(controls.openEnabled);
    }
    showFolders();
    m_arrow->setPixmap(namedPixmap(view.arrowImage, QSize(22, 44)));
    m_execute->setText(view.execute.title);
    m_execute->setToolTip(view.execute.toolTip);
    for (int i = 0; i < OptionCount; ++i) {
        const OptionButtonView &o = view.options[size_t(i)];
        if (!o.imageName.isEmpty())
            m_options[i]->setIcon(namedImage(o.imageName));
        if (!o.toolTip.isEmpty())
            m_options[i]->setToolTip(o.toolTip);
        m_options[i]->setEnabled(o.enabled);
    }
    showComment();
    // A range of 0..0 makes the bar busy: scanning, or an index being written.
    const ProgressView &p = view.progress;
    m_progress->setRange(0, p.indeterminate ? 0 : std::max(p.maximum, 1));
    m_progress->setValue(p.indeterminate ? 0 : std::clamp(p.value, 0, std::max(p.maximum, 1)));
    m_drawerButton->setIcon(namedImage(view.drawer.triangleImage));
}

void ConsolePanel::showFolders()
{
    const std::array<const FolderFieldView *, 2> fields = {&m_view.source, &m_view.destination};
    for (int side = 0; side < 2; ++side) {
        QLabel *field = m_fields[side];
        const QString &text = fields[size_t(side)]->text;
        field->setText(m_shorten ? m_shorten(text, field->contentsRect().width(), field->fontMetrics()) : text);
    }
}

void ConsolePanel::showComment()
{
    const QFontMetrics font = m_comment->fontMetrics();
    const int width = m_comment->contentsRect().width() - 2 * m_comment->margin();
    const QString text = TruncatedLines(m_view.comment, FieldFit{width, [&font](const QString &t) {
                                                                     return font.horizontalAdvance(t);
                                                                 }});
    m_comment->setText(QString(text).replace(u'\r', u'\n'));
}

QString ConsolePanel::folderFieldText(int side) const
{
    return m_fields[side]->text();
}

void ConsolePanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    showFolders();
    showComment();
}

QString ConsolePanel::comment() const
{
    return QString(m_comment->text()).replace(u'\n', u'\r');
}

} // namespace qm
