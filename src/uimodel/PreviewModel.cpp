#include "uimodel/PreviewModel.h"

#include "platform/Messages.h"

namespace qm {

struct PreviewModel::Node {
    CopyItem *item = nullptr;
    Node *parent = nullptr;
    int row = 0;
    int task = 0;
    int depth = 0;
    // Sized to the item's sub-items on first use; a node is made when a view
    // first asks for its row.
    std::vector<std::unique_ptr<Node>> children;
    bool childrenSized = false;
};

namespace {

QString lastComponent(const QString &path)
{
    if (path == QLatin1String("/"))
        return path;
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

PreviewModel::PreviewModel(RunPlan &plan, QObject *parent)
    : QAbstractItemModel(parent), m_plan(plan), m_editor(plan)
{
}

PreviewModel::~PreviewModel() = default;

bool PreviewModel::sourcePresent(int m)
{
    switch (m) {
    case 1: case 2: case 4: case 5: case 6:
    case -2: case -4: case -5: case -6:
        return true;
    default:
        return false;
    }
}

bool PreviewModel::destPresent(int m)
{
    switch (m) {
    case 1: case 3: case 4: case 5: case 7:
    case -3: case -4: case -5: case -7:
        return true;
    default:
        return false;
    }
}

QString PreviewModel::operationImage(int m)
{
    switch (m) {
    case CopyMode::Folder: return QStringLiteral("icnPreviewNothing");
    case CopyMode::CopyAToB:
    case CopyMode::ReplaceB: return QStringLiteral("icnPreviewViolet");
    case CopyMode::CopyBToA:
    case CopyMode::ReplaceA: return QStringLiteral("icnPreviewOrange");
    case CopyMode::RemoveA:
    case CopyMode::RemoveB: return QStringLiteral("icnPreviewDelete");
    default: return QStringLiteral("icnPreviewSkip");
    }
}

std::vector<std::unique_ptr<PreviewModel::Node>> &PreviewModel::childrenOf(Node *parent) const
{
    if (!parent) {
        if (m_roots.size() != size_t(m_plan.taskCount()))
            m_roots.resize(size_t(m_plan.taskCount()));
        return m_roots;
    }
    if (!parent->childrenSized) {
        parent->children.resize(parent->item->subItems.size());
        parent->childrenSized = true;
    }
    return parent->children;
}

PreviewModel::Node *PreviewModel::childOf(Node *parent, int row) const
{
    std::vector<std::unique_ptr<Node>> &children = childrenOf(parent);
    if (row < 0 || size_t(row) >= children.size())
        return nullptr;
    std::unique_ptr<Node> &slot = children[size_t(row)];
    if (!slot) {
        slot = std::make_unique<Node>();
        slot->parent = parent;
        slot->row = row;
        slot->task = parent ? parent->task : row;
        slot->depth = parent ? parent->depth + 1 : 0;
        slot->item = parent ? &parent->item->subItems[size_t(row)] : &m_plan.itemsToCopy[size_t(row)];
    }
    return slot.get();
}

PreviewModel::Node *PreviewModel::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : nullptr;
}

const CopyItem &PreviewModel::itemOf(const Node *node) const
{
    return *node->item;
}

QModelIndex PreviewModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column < 0 || column >= ColumnCount || (parent.isValid() && parent.column() != 0))
        return {};
    Node *node = childOf(nodeOf(parent), row);
    return node ? createIndex(row, column, node) : QModelIndex();
}

QModelIndex PreviewModel::parent(const QModelIndex &child) const
{
    const Node *node = nodeOf(child);
    if (!node || !node->parent)
        return {};
    return createIndex(node->parent->row, 0, node->parent);
}

int PreviewModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return m_plan.taskCount();
    if (parent.column() != 0)
        return 0;
    return int(nodeOf(parent)->item->subItems.size());
}

int PreviewModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

bool PreviewModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QVariant PreviewModel::data(const QModelIndex &index, int role) const
{
    const Node *node = nodeOf(index);
    if (!node)
        return {};
    const CopyItem &item = itemOf(node);
    const int m = item.copyMode;
    const int column = index.column();
    const bool sideColumn = column != OperationColumn;
    const bool present = column == SourceColumn ? sourcePresent(m) : destPresent(m);
    auto path = [&] {
        const SidePaths paths = pathsOf(node);
        return column == SourceColumn ? paths.source : paths.dest;
    };
    switch (role) {
    case Qt::DisplayRole:
        if (!sideColumn)
            return {};
        if (node->parent)
            return column == SourceColumn ? item.sourceName() : item.destName();
        return lastComponent(path());
    case Qt::ToolTipRole:
    case PathRole:
        return sideColumn ? QVariant(path()) : QVariant();
    case ImageRole:
        if (!sideColumn)
            return operationImage(m);
        if (item.hasSubItems)
            return present ? QString::fromLatin1(kFolderImage) : QStringLiteral("icnFolderGray");
        return present ? QString::fromLatin1(kFileImage) : QStringLiteral("icnFileGray");
    case ToneRole:
        if (m <= 0)
            return int(Tone::SwitchedOff);
        return int(!sideColumn || present ? Tone::Present : Tone::Absent);
    case CopyModeRole:
        return m;
    case ExistsRole:
        return sideColumn && present;
    case DepthRole:
        return node->depth;
    default:
        return {};
    }
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case SourceColumn: return GLS("Source");
    case DestColumn: return GLS("Destination");
    default: return QString();
    }
}

SidePaths PreviewModel::pathsOf(const Node *node) const
{
    return node->item->pathsIn(node->parent ? pathsOf(node->parent) : SidePaths());
}

SidePaths PreviewModel::pathsAt(const QModelIndex &index) const
{
    const Node *node = nodeOf(index);
    return node ? pathsOf(node) : SidePaths();
}

const CopyItem *PreviewModel::itemAt(const QModelIndex &index) const
{
    const Node *node = nodeOf(index);
    return node ? node->item : nullptr;
}

PlanPosition PreviewModel::positionOf(const QModelIndex &index) const
{
    PlanPosition at;
    const Node *node = nodeOf(index);
    if (!node)
        return at;
    at.task = node->task;
    for (; node->parent; node = node->parent)
        at.rows.prepend(node->row);
    return at;
}

void PreviewModel::refreshRow(Node *node)
{
    const QModelIndex left = createIndex(node->row, 0, node);
    Q_EMIT dataChanged(left, left.siblingAtColumn(ColumnCount - 1));
}

// Every row made so far below the node: one signal per range of siblings.
void PreviewModel::refreshSubtree(Node *node)
{
    if (!node->childrenSized || node->children.empty())
        return;
    const int last = int(node->children.size()) - 1;
    Node *first = childOf(node, 0);
    Node *end = childOf(node, last);
    Q_EMIT dataChanged(createIndex(0, 0, first), createIndex(last, ColumnCount - 1, end));
    for (const std::unique_ptr<Node> &child : node->children)
        if (child)
            refreshSubtree(child.get());
}

bool PreviewModel::toggle(const QModelIndex &index)
{
    Node *node = nodeOf(index);
    if (!node)
        return false;
    const int ancestorsChanged = m_editor.toggle(positionOf(index));
    if (ancestorsChanged < 0)
        return false;
    refreshRow(node);
    refreshSubtree(node);
    Node *up = node->parent;
    for (int i = 0; i < ancestorsChanged && up; ++i, up = up->parent)
        refreshRow(up);
    Q_EMIT countersChanged();
    return true;
}

bool PreviewModel::reverseDirection(const QModelIndex &index)
{
    Node *node = nodeOf(index);
    if (!node || !m_editor.ChangeCopyModeDirection(positionOf(index)))
        return false;
    refreshRow(node);
    Q_EMIT countersChanged();
    return true;
}

} // namespace qm
