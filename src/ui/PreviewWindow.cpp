#include "ui/PreviewWindow.h"

#include "fs/LPUtilities.h"
#include "platform/Messages.h"
#include "ui/Images.h"
#include "uimodel/PreviewInfo.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace qm {
namespace {

const QString kFrameName = QStringLiteral("PreviewWindowFrame");
constexpr int kOperationColumnWidth = 23;

bool itemExists(const QString &path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && (info.exists() || info.isSymLink());
}

// Draws each cell's image before its text, in the colour of its side's
// state, and indents the destination like the outline column.
class PreviewDelegate : public QStyledItemDelegate {
public:
    PreviewDelegate(QTreeView *view) : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        if (index.column() == PreviewModel::DestColumn)
            opt.rect.adjust(index.data(PreviewModel::DepthRole).toInt() * m_view->indentation(), 0, 0, 0);
        QStyledItemDelegate::paint(painter, opt, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->icon = image(index.data(PreviewModel::ImageRole).toString());
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = QSize(16, 16);
        if (index.column() == PreviewModel::OperationColumn)
            option->decorationAlignment = Qt::AlignCenter;
        switch (PreviewModel::Tone(index.data(PreviewModel::ToneRole).toInt())) {
        case PreviewModel::Tone::SwitchedOff:
            option->palette.setColor(QPalette::Text, Qt::red);
            option->palette.setColor(QPalette::HighlightedText, QColor(255, 190, 190));
            break;
        case PreviewModel::Tone::Absent:
            option->palette.setColor(QPalette::Text, Qt::gray);
            break;
        case PreviewModel::Tone::Present:
            break;
        }
    }

private:
    QIcon image(const QString &name) const
    {
        auto found = m_icons.constFind(name);
        if (found != m_icons.constEnd())
            return *found;
        QIcon icon;
        if (name == QLatin1String(PreviewModel::kFolderImage))
            icon = QFileIconProvider().icon(QAbstractFileIconProvider::Folder);
        else if (name == QLatin1String(PreviewModel::kFileImage))
            icon = QFileIconProvider().icon(QAbstractFileIconProvider::File);
        else
            icon = namedImage(name);
        m_icons.insert(name, icon);
        return icon;
    }

    QTreeView *m_view;
    mutable QHash<QString, QIcon> m_icons;
};

} // namespace

struct PreviewWindow::InfoBox {
    std::array<QLabel *, 5> fields{}; // name, modified, backup, size, path
    QPushButton *open = nullptr;
    QPushButton *reveal = nullptr;
};

PreviewWindow::PreviewWindow(RunPlan &plan, QWidget *parent, FrameKeeper frames)
    : QDialog(parent), m_plan(plan), m_frames(std::move(frames)), m_boxes(new InfoBox[2])
{
    beep = [] { QApplication::beep(); };
    openFile = [](const QString &path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    revealItem = [](const QString &path) { LPUtilities().OpenFolder(path); };
    alert = [this](const QString &title, const QString &message) {
        QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::Ok, this);
        box.button(QMessageBox::Ok)->setText(GLS("OK"));
        box.exec();
    };

    setWindowTitle(GLS("Preview"));
    setModal(true);
    m_model = new PreviewModel(m_plan, this);
    m_view = new QTreeView(this);
    m_view->setModel(m_model);
    m_view->setItemDelegate(new PreviewDelegate(m_view));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setUniformRowHeights(true);
    m_view->setExpandsOnDoubleClick(false);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->header()->setSectionResizeMode(PreviewModel::OperationColumn, QHeaderView::Fixed);
    m_view->header()->setStretchLastSection(false);
    m_view->viewport()->installEventFilter(this);
    connect(m_view, &QWidget::customContextMenuRequested, this, &PreviewWindow::showContextMenu);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PreviewWindow::RefreshInfoFileBoxes);
    connect(m_model, &PreviewModel::countersChanged, this, &PreviewWindow::refreshCounters);

    auto *boxes = new QHBoxLayout;
    boxes->addWidget(makeInfoBox(m_boxes[0], GLS("Source"), true), 1);
    boxes->addWidget(makeInfoBox(m_boxes[1], GLS("Destination"), false), 1);

    m_stop = new QPushButton(GLS("Stop"), this);
    m_continue = new QPushButton(GLS("Continue"), this);
    m_continue->setDefault(true);
    connect(m_stop, &QPushButton::clicked, this, [this] { done(StopCode); });
    connect(m_continue, &QPushButton::clicked, this, [this] { done(ContinueCode); });
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(makeCounters(), 1);
    buttons->addWidget(m_stop);
    buttons->addWidget(m_continue);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(boxes);
    layout->addLayout(buttons);

    resize(760, 560);
    if (m_frames.restore)
        m_frames.restore(this, kFrameName);
    refreshCounters();
    RefreshInfoFileBoxes();
    fitColumns();
}

PreviewWindow::~PreviewWindow()
{
    delete[] m_boxes;
}

bool PreviewWindow::run(RunPlan &plan, QWidget *parent, FrameKeeper frames)
{
    PreviewWindow window(plan, parent, std::move(frames));
    return window.exec() == ContinueCode;
}

QWidget *PreviewWindow::makeInfoBox(InfoBox &box, const QString &title, bool source)
{
    auto *group = new QGroupBox(title, this);
    auto *form = new QFormLayout;
    const char *captions[] = {"Name:", "Modified:", "Backup:", "Size:", "Path:"};
    for (size_t i = 0; i < box.fields.size(); ++i) {
        box.fields[i] = new QLabel(group);
        box.fields[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        box.fields[i]->setWordWrap(i == 4);
        form->addRow(GLS(captions[i]), box.fields[i]);
    }
    box.open = new QPushButton(GLS("Open"), group);
    box.reveal = new QPushButton(GLS("Show in File Manager"), group);
    connect(box.open, &QPushButton::clicked, this, [this, source] { openSide(source); });
    connect(box.reveal, &QPushButton::clicked, this, [this, source] { revealSide(source); });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(box.open);
    buttons->addWidget(box.reveal);
    auto *layout = new QVBoxLayout(group);
    layout->addLayout(form);
    layout->addLayout(buttons);
    return group;
}

QWidget *PreviewWindow::makeCounters()
{
    auto *panel = new QWidget(this);
    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    const char *captions[] = {"Folders on both sides:", "Switched off:", "To delete:",
                              "Source to destination:", "Destination to source:", "Operations in all:"};
    for (int i = 0; i < 6; ++i) {
        m_counters[size_t(i)] = new QLabel(panel);
        grid->addWidget(new QLabel(GLS(captions[i]), panel), i % 3, (i / 3) * 2);
        grid->addWidget(m_counters[size_t(i)], i % 3, (i / 3) * 2 + 1);
    }
    return panel;
}

QString PreviewWindow::counterText(int field) const
{
    return m_counters.at(size_t(field))->text();
}

QString PreviewWindow::infoText(bool source, int field) const
{
    return m_boxes[source ? 0 : 1].fields.at(size_t(field))->text();
}

void PreviewWindow::refreshCounters()
{
    const QStringList texts = previewCounterTexts(m_plan.counters);
    for (int i = 0; i < 6; ++i)
        m_counters[size_t(i)]->setText(texts[i]);
}

QModelIndex PreviewWindow::selectedRow() const
{
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    return rows.isEmpty() ? QModelIndex() : rows.first();
}

void PreviewWindow::RefreshInfoFileBoxes()
{
    const QModelIndex row = selectedRow();
    const CopyItem *item = m_model->itemAt(row);
    const SidePaths paths = m_model->pathsAt(row);
    for (int side = 0; side < 2; ++side) {
        const PreviewSideInfo info = item ? previewSideInfo(side == 0 ? paths.source : paths.dest) : noSideInfo();
        InfoBox &box = m_boxes[side];
        const QString texts[] = {info.name, info.modified, info.backup, info.size, info.path};
        for (size_t i = 0; i < box.fields.size(); ++i)
            box.fields[i]->setText(texts[i]);
        box.open->setEnabled(info.exists);
        box.reveal->setEnabled(info.exists);
    }
}

void PreviewWindow::clickRow(const QModelIndex &index, Qt::KeyboardModifiers modifiers)
{
    if (!index.isValid()) {
        m_view->clearSelection();
        return;
    }
    if (index.column() == PreviewModel::OperationColumn) {
        const bool changed = (modifiers & Qt::AltModifier) ? m_model->reverseDirection(index) : m_model->toggle(index);
        if (!changed)
            beep();
        m_view->setCurrentIndex(index.siblingAtColumn(0));
        RefreshInfoFileBoxes();
        return;
    }
    if (modifiers & Qt::ControlModifier) {
        const QString path = index.data(PreviewModel::PathRole).toString();
        if (itemExists(path))
            revealItem(path);
        else
            beep();
    }
}

bool PreviewWindow::sideAction(bool source, QString *path)
{
    const QModelIndex row = selectedRow();
    if (!row.isValid()) {
        alert(GLS("Item not selected:"), GLS("Please firstly select a row in the list"));
        return false;
    }
    const SidePaths paths = m_model->pathsAt(row);
    *path = source ? paths.source : paths.dest;
    if (!itemExists(*path)) {
        beep();
        return false;
    }
    return true;
}

void PreviewWindow::openSide(bool source)
{
    QString path;
    if (sideAction(source, &path))
        openFile(path);
}

void PreviewWindow::revealSide(bool source)
{
    QString path;
    if (sideAction(source, &path))
        revealItem(path);
}

// Alt-click is often taken by the desktop for moving windows: the same
// commands are in the row's menu.
void PreviewWindow::showContextMenu(const QPoint &pos)
{
    const QModelIndex index = m_view->indexAt(pos);
    if (!index.isValid())
        return;
    m_view->setCurrentIndex(index.siblingAtColumn(0));
    const QModelIndex operation = index.siblingAtColumn(PreviewModel::OperationColumn);
    const bool source = index.column() != PreviewModel::DestColumn;
    QMenu menu(this);
    menu.addAction(GLS("Reverse Direction"), this,
                   [this, operation] { clickRow(operation, Qt::AltModifier); });
    menu.addAction(GLS("Switch Off/On"), this, [this, operation] { clickRow(operation, Qt::NoModifier); });
    menu.addSeparator();
    menu.addAction(GLS("Open"), this, [this, source] { openSide(source); });
    menu.addAction(GLS("Show in File Manager"), this, [this, source] { revealSide(source); });
    menu.exec(m_view->viewport()->mapToGlobal(pos));
}

bool PreviewWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view->viewport()) {
        if (event->type() == QEvent::MouseButtonDblClick)
            return true; // a double click is two clicks, not an expansion
        if (event->type() == QEvent::MouseButtonRelease) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton)
                clickRow(m_view->indexAt(mouse->position().toPoint()), mouse->modifiers());
        }
    }
    return QDialog::eventFilter(watched, event);
}

void PreviewWindow::fitColumns()
{
    const int side = previewSideColumnWidth(m_view->width());
    m_view->header()->resizeSection(PreviewModel::SourceColumn, side);
    m_view->header()->resizeSection(PreviewModel::OperationColumn, kOperationColumnWidth);
    m_view->header()->resizeSection(PreviewModel::DestColumn, side);
}

void PreviewWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    fitColumns();
}

void PreviewWindow::done(int code)
{
    if (m_frames.save)
        m_frames.save(this, kFrameName);
    // Closing the window any other way is a Stop.
    QDialog::done(code == ContinueCode ? ContinueCode : StopCode);
}

} // namespace qm
