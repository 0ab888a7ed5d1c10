#include "ui/ListPanel.h"

#include "ui/ApplyButtons.h"

#include "platform/Messages.h"
#include "ui/Dialogs.h"
#include "uimodel/MultiListEditor.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileIconProvider>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

namespace qm {

namespace {

// Rows of a list that is off, and cells a switched-off timer does not use,
// are drawn in the disabled text colour.
class GrayCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == 0)
            option->displayAlignment = Qt::AlignCenter;
        if (index.data(ListEditor::GrayRole).toBool()) {
            const QColor gray = option->palette.color(QPalette::Disabled, QPalette::Text);
            option->palette.setColor(QPalette::Text, gray);
            option->palette.setColor(QPalette::HighlightedText, gray);
        }
    }
};

QStringList localPaths(const QMimeData *mime)
{
    QStringList paths;
    if (!mime)
        return paths;
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

// The table: a click goes to the page with the keys held when the button
// was pressed; files dragged over a cell that takes them light it up.
class ListTable : public QTableView {
public:
    ListTable(ListPanel *panel) : QTableView(panel), m_panel(panel)
    {
        setSelectionMode(QAbstractItemView::SingleSelection);
        setSelectionBehavior(QAbstractItemView::SelectItems);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setAlternatingRowColors(true);
        setAcceptDrops(true);
        viewport()->setAcceptDrops(true);
        setDragDropMode(QAbstractItemView::DropOnly);
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        m_pressKeys = event->modifiers();
        QTableView::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        QTableView::mouseReleaseEvent(event);
        if (event->button() != Qt::LeftButton)
            return;
        const QPoint at = event->position().toPoint();
        m_panel->clickCell(rowAt(at.y()), columnAt(at.x()), m_pressKeys | event->modifiers());
    }
    void contextMenuEvent(QContextMenuEvent *event) override
    {
        const QModelIndex index = indexAt(viewport()->mapFromGlobal(event->globalPos()));
        if (!index.isValid())
            return;
        std::unique_ptr<QMenu> menu(m_panel->contextMenu(index.row(), index.column()));
        if (menu)
            menu->exec(event->globalPos());
    }
    void dragEnterEvent(QDragEnterEvent *event) override { dragOver(event); }
    void dragMoveEvent(QDragMoveEvent *event) override { dragOver(event); }
    void dragLeaveEvent(QDragLeaveEvent *) override { clearSelection(); }
    void dropEvent(QDropEvent *event) override
    {
        const QModelIndex index = indexAt(event->position().toPoint());
        clearSelection();
        auto *editor = static_cast<ListEditor *>(model());
        if (editor->drop(index.row(), index.column(), localPaths(event->mimeData())))
            event->acceptProposedAction();
        else
            event->ignore();
    }

private:
    void dragOver(QDragMoveEvent *event)
    {
        const QModelIndex index = indexAt(event->position().toPoint());
        auto *editor = static_cast<ListEditor *>(model());
        if (localPaths(event->mimeData()).isEmpty() || !editor->canDrop(index.row(), index.column())) {
            clearSelection();
            event->ignore();
            return;
        }
        selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
        event->acceptProposedAction();
    }

    ListPanel *m_panel;
    Qt::KeyboardModifiers m_pressKeys;
};

ClickKeys clickKeys(Qt::KeyboardModifiers keys)
{
    return ClickKeys{bool(keys & Qt::ControlModifier), bool(keys & Qt::AltModifier)};
}

} // namespace

ListPanel::ListPanel(ListEditor *editor, const QString &identifier, const QString &switchTitle,
                     ListPanelServices services, QWidget *parent)
    : QWidget(parent), m_editor(editor), m_services(std::move(services))
{
    setObjectName(identifier);
    m_editor->setParent(this);
    m_editor->setSwitchTitle(switchTitle);

    m_switch = new QCheckBox(switchTitle, this);
    connect(m_switch, &QCheckBox::toggled, m_editor, &ListEditor::setListOn);

    m_table = new ListTable(this);
    m_table->setModel(m_editor);
    m_table->setItemDelegate(new GrayCellDelegate(m_table));
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_table->setWordWrap(false);

    const ApplyButtons buttons = ApplyButtons::make(
        this, GLS("Stores the list and keeps the panel open (Alt+Enter)"), ListEditor::kCancelTag,
        [this](int tag, bool stay) { applyClicked(tag, stay); });
    m_cancel = buttons.cancel;
    m_stay = buttons.stay;
    m_apply = buttons.apply;

    m_layout = new QVBoxLayout(this);
    m_layout->addWidget(m_switch);
    m_layout->addWidget(m_table, 1);
    m_layout->addLayout(buttons.row);
}

void ListPanel::addAboveTable(QWidget *widget)
{
    m_layout->insertWidget(m_layout->indexOf(m_table), widget);
}

bool ListPanel::load(const QVariantMap &document)
{
    if (!m_editor->load(document))
        return false;
    QSignalBlocker quiet(m_switch);
    m_switch->setChecked(m_editor->isListOn());
    m_table->clearSelection();
    return true;
}

void ListPanel::warn(const QString &title, const QString &text)
{
    dialogs().alert(this, QMessageBox::Warning, title, text, {GLS("OK")});
}

void ListPanel::applyClicked(int tag, bool stay)
{
    const bool busy = m_services.runUnderway && m_services.runUnderway();
    const ListApplyResult result = m_editor->apply(tag, stay, m_services.document(), busy);
    if (!result.warning.isEmpty())
        warn(GLS("Warning:"), result.warning);
    if (result.stored)
        Q_EMIT stored();
    if (!result.stayInPanel)
        Q_EMIT leave();
}

void ListPanel::clickCell(int row, int column, Qt::KeyboardModifiers keys)
{
    const ListClick click = m_editor->click(row, column, clickKeys(keys));
    m_table->selectionModel()->clear(); // no cell stays marked either
    switch (click.action) {
    case ListClick::Action::None:
    case ListClick::Action::Changed:
        break;
    case ListClick::Action::ListOff:
    case ListClick::Action::Alert:
        warn(click.title, click.message);
        break;
    case ListClick::Action::Reveal:
        if (!click.path.isEmpty() && m_services.reveal)
            m_services.reveal(click.path);
        break;
    case ListClick::Action::ChoosePath:
        choosePath(click);
        break;
    case ListClick::Action::EditRow:
        editRow(click.row);
        break;
    }
}

void ListPanel::choosePath(const ListClick &click)
{
    const QString chosen = dialogs().chooseItem(this, click.title, click.path);
    if (!chosen.isEmpty())
        m_editor->setPath(click.row, click.column, chosen);
}

QMenu *ListPanel::contextMenu(int row, int column)
{
    const QModelIndex index = m_editor->index(row, column);
    if (!index.isValid())
        return nullptr;
    auto *menu = new QMenu(GLS("ContextPath"), this);
    menu->setObjectName(QStringLiteral("ContextPath"));
    const QString path = index.data(ListEditor::PathRole).toString();
    if (!path.isEmpty()) {
        QFileIconProvider icons;
        for (const QString &ancestor : ListEditor::pathAncestors(path)) {
            const QIcon icon = icons.icon(QFileInfo(ancestor));
            menu->addAction(icon, lastPathComponent(ancestor), this, [this, ancestor] {
                if (m_services.reveal)
                    m_services.reveal(ancestor);
            });
        }
        menu->addSeparator();
        menu->addAction(GLS("Show in File Manager"), this, [this, path] {
            if (m_services.reveal)
                m_services.reveal(path);
        });
    }
    const QString option = m_editor->optionActionTitle(column);
    if (!option.isEmpty()) {
        QAction *a = menu->addAction(option, this, [this, row, column] { clickCell(row, column, Qt::AltModifier); });
        a->setEnabled(m_editor->isListOn());
    }
    if (menu->isEmpty()) {
        delete menu;
        return nullptr;
    }
    return menu;
}

} // namespace qm
