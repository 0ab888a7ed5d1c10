#include "uimodel/ListEditor.h"

#include "platform/Messages.h"

#include <QDir>
#include <QFileInfo>

namespace qm {

int currentSessionIndex(const QVariantMap &document)
{
    const int index = document.value(QStringLiteral("sessionIndex")).toInt();
    const int n = int(document.value(QStringLiteral("sessionsArray")).toList().size());
    return index >= 0 && index < n ? index : -1;
}

QString onOffMark(const QVariantMap &row)
{
    return row.value(QStringLiteral("onOff")).toLongLong() == 1 ? QStringLiteral("•") : QStringLiteral("-");
}

ListEditor::ListEditor(RowList list, QString switchKey, int columns, QObject *parent)
    : QAbstractTableModel(parent), m_list(list), m_switchKey(std::move(switchKey)), m_columns(columns)
{
    m_rows = SessionDefaults::rows(SessionDefaults::row(m_list), SessionDefaults::rowCount(m_list));
}

bool ListEditor::load(const QVariantMap &document)
{
    const int index = currentSessionIndex(document);
    if (index < 0)
        return false;
    const QVariantMap session = document.value(QStringLiteral("sessionsArray")).toList().at(index).toMap();
    beginResetModel();
    m_on = session.value(m_switchKey).toLongLong() != 0;
    // A copy of each row: the session's own records stay as they are until Apply.
    m_rows.clear();
    const QVariantList stored = session.value(SessionDefaults::key(m_list)).toList();
    const int count = SessionDefaults::rowCount(m_list);
    for (int r = 0; r < count; ++r)
        m_rows.append(r < stored.size() ? QVariantMap(stored.at(r).toMap()) : SessionDefaults::row(m_list));
    loadExtra(session);
    endResetModel();
    return true;
}

void ListEditor::setListOn(bool on)
{
    if (on == m_on)
        return;
    m_on = on;
    if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, m_columns - 1));
}

QString ListEditor::check() const
{
    return m_on ? validate() : QString();
}

QString ListEditor::store(QVariantMap &document)
{
    const QString warning = check();
    if (!warning.isEmpty())
        return warning;
    const int index = currentSessionIndex(document);
    if (index < 0)
        return QString();
    QVariantList sessions = document.value(QStringLiteral("sessionsArray")).toList();
    QVariantMap session = sessions.at(index).toMap();
    session.insert(m_switchKey, qlonglong(m_on ? 1 : 0));
    session.insert(SessionDefaults::key(m_list), m_rows);
    storeExtra(session);
    afterStore(session);
    sessions[index] = session;
    document.insert(QStringLiteral("sessionsArray"), sessions);
    return QString();
}

ListApplyResult ListEditor::apply(int buttonTag, bool optionKey, QVariantMap &document, bool runUnderway)
{
    if (buttonTag == kCancelTag)
        return {false, false, QString()};
    if (runUnderway)
        return {false, true, QString()};
    const QString warning = store(document);
    if (!warning.isEmpty())
        return {false, true, warning};
    return {true, optionKey, QString()};
}

QString ListEditor::offMessageNaming(const QString &sentence) const
{
    return sentence + QStringLiteral(" \"") + switchTitle() + QStringLiteral("\".");
}

ListClick ListEditor::click(int row, int column, ClickKeys keys)
{
    ListClick result;
    if (row < 0 || row >= rowCount() || column < 0 || column > 2)
        return result;
    if (!m_on) {
        result.action = ListClick::Action::ListOff;
        result.title = offTitle();
        result.message = offMessage();
        return result;
    }
    if (column == 0) {
        QVariantMap values = rowAt(row);
        const bool on = values.value(QStringLiteral("onOff")).toLongLong() == 1;
        values.insert(QStringLiteral("onOff"), qlonglong(on ? 0 : 1));
        setRow(row, values);
        result.action = ListClick::Action::Changed;
        result.row = row;
        result.column = column;
        return result;
    }
    return clickCell(row, column, keys);
}

ListClick ListEditor::clickCell(int row, int column, ClickKeys keys)
{
    ListClick result;
    const CellKind kind = cellKind(column);
    if (kind == CellKind::Inert)
        return result;
    result.row = row;
    result.column = column;
    if (kind == CellKind::Row) {
        if (keys.option) {
            setRow(row, resetRow(rowAt(row)));
            result.action = ListClick::Action::Changed;
        } else {
            result.action = ListClick::Action::EditRow;
        }
        return result;
    }
    const QString path = cellPath(rowAt(row), column);
    if (keys.control) {
        result.action = ListClick::Action::Reveal;
        result.path = path;
    } else if (keys.option) {
        setRow(row, clearedCell(rowAt(row), column));
        result.action = ListClick::Action::Changed;
    } else {
        result.action = ListClick::Action::ChoosePath;
        result.path = chooserStartPath(path);
        result.buttonTitle = GLS("Choose");
        result.title = chooserTitle(column);
    }
    return result;
}

QString ListEditor::cellPath(const QVariantMap &row, int column) const
{
    const QString key = pathKey(column);
    return key.isEmpty() ? QString() : row.value(key).toString();
}

QVariantMap ListEditor::clearedCell(QVariantMap row, int column) const
{
    row.insert(pathKey(column), QString());
    return row;
}

void ListEditor::setPath(int row, int column, const QString &path)
{
    const QString key = pathKey(column);
    if (key.isEmpty() || row < 0 || row >= rowCount() || path.isEmpty())
        return;
    QVariantMap values = rowAt(row);
    values.insert(key, path);
    setRow(row, values);
    pathStored(path);
}

bool ListEditor::canDrop(int row, int column) const
{
    return m_on && row >= 0 && row < rowCount() && column >= 0 && column < m_columns && dropColumn(column) >= 0;
}

bool ListEditor::drop(int row, int column, const QStringList &paths)
{
    if (!canDrop(row, column) || paths.isEmpty() || paths.first().isEmpty())
        return false;
    setPath(row, dropColumn(column), paths.first());
    return true;
}

QString ListEditor::optionActionTitle(int column) const
{
    switch (column > 0 && column < m_columns ? cellKind(column) : CellKind::Inert) {
    case CellKind::Path: return GLS("Clear");
    case CellKind::Row: return GLS("Reset Row");
    case CellKind::Inert: break;
    }
    return QString();
}

QString chooserStartPath(const QString &cellPath)
{
    if (!cellPath.isEmpty() && (QFileInfo::exists(cellPath) || QFileInfo(cellPath).isSymLink()))
        return cellPath;
    return QDir::homePath();
}

QStringList ListEditor::pathAncestors(const QString &path)
{
    QStringList chain;
    if (path.isEmpty())
        return chain;
    QString p = QDir::cleanPath(path);
    while (true) {
        chain.prepend(p);
        if (p == QLatin1String("/"))
            break;
        const int slash = p.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            break;
        p = slash == 0 ? QStringLiteral("/") : p.left(slash);
    }
    return chain;
}

void ListEditor::setRow(int row, const QVariantMap &values)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row] = values;
    Q_EMIT dataChanged(index(row, 0), index(row, m_columns - 1));
}

int ListEditor::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ListEditor::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant ListEditor::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return QVariant();
    // Rows are numbered from 1, as the warnings name them.
    if (orientation == Qt::Vertical)
        return section < rowCount() ? QVariant(section + 1) : QVariant();
    if (section >= m_columns)
        return QVariant();
    return section == 0 ? GLS("On") : columnTitle(section);
}

QVariant ListEditor::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const QVariantMap row = rowAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? onOffMark(row) : cellText(row, index.column());
    case Qt::ToolTipRole: {
        const QString path = cellPath(row, index.column());
        return path.isEmpty() ? QVariant() : QVariant(path);
    }
    case GrayRole: return isCellGray(row, index.column());
    case OnOffRole: return row.value(QStringLiteral("onOff")).toLongLong() != 0;
    case PathRole: return cellPath(row, index.column());
    default: return QVariant();
    }
}

Qt::ItemFlags ListEditor::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (m_on)
        f |= Qt::ItemIsSelectable;
    return f;
}

} // namespace qm
