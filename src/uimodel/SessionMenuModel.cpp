#include "uimodel/SessionMenuModel.h"

namespace qm {

SessionMenuModel::SessionMenuModel(SessionCommands &commands, QObject *parent)
    : QAbstractListModel(parent), m_commands(commands), m_menu(commands.menu())
{
}

int SessionMenuModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_menu.items.size());
}

QVariant SessionMenuModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_menu.items.size())
        return QVariant();
    const SessionMenuItem &item = m_menu.items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return item.title;
    case TagRole:
        return item.tag;
    case Qt::AccessibleDescriptionRole:
        if (item.tag == SessionMenuItem::Separator)
            return QStringLiteral("separator");
        return QVariant();
    default:
        return QVariant();
    }
}

Qt::ItemFlags SessionMenuModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() >= m_menu.items.size())
        return Qt::NoItemFlags;
    const SessionMenuItem &item = m_menu.items.at(index.row());
    if (item.tag == SessionMenuItem::Separator || !item.enabled || !m_menu.enabled)
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void SessionMenuModel::setEnabled(bool enabled, bool allowAllSessions)
{
    m_enabled = enabled;
    m_allowAll = allowAllSessions;
    refresh();
}

void SessionMenuModel::refresh()
{
    beginResetModel();
    m_menu = m_commands.menu(m_enabled, m_allowAll);
    endResetModel();
    // A reset clears the view's choice: tell it again, even when unchanged.
    Q_EMIT selectedRowChanged(m_menu.selected);
}

SessionCommandResult SessionMenuModel::choose(int row, bool optionKey)
{
    const SessionCommandResult r = m_commands.ChooseSession(row, true, optionKey);
    refresh();
    return r;
}

} // namespace qm
