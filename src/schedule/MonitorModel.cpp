#include "schedule/MonitorModel.h"

#include "platform/Messages.h"
#include "schedule/ScheduleMonitor.h"

#include <QFileInfo>
#include <algorithm>

namespace qm {

MonitorModel::MonitorModel(ScheduleMonitor &monitor, QObject *parent)
    : QAbstractTableModel(parent), m_monitor(monitor), m_locale(QLocale::system())
{
    // The schedule changes as a whole (rebuilds) or one entry at a time
    // (start, end); a reset is cheap at these sizes and always right.
    connect(&m_monitor, &ScheduleMonitor::scheduleChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&m_monitor, &ScheduleMonitor::showEntry, this, [this](int row) {
        if (rowCount() > 0)
            Q_EMIT rowToShow(row);
    });
    connect(&m_monitor, &ScheduleMonitor::blockedChanged, this,
            [this](bool blocked) { Q_EMIT daysChoiceEnabledChanged(!blocked); });
}

void MonitorModel::setLocale(const QLocale &locale)
{
    beginResetModel();
    m_locale = locale;
    endResetModel();
}

int MonitorModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_monitor.schedule().size();
}

int MonitorModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MonitorModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return QVariant();
    const ScheduleEntry &entry = m_monitor.schedule().entries().at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.row(), index.column());
    case ToneRole:
        return entry.state == EntryState::Done  ? DoneTone
               : entry.state == EntryState::Run ? RunningTone
                                                : WaitingTone;
    case ImageNameRole:
        if (index.column() == NextExeColumn && entry.nextExe)
            return QString::fromLatin1(kNextTimerImage);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant MonitorModel::displayText(int row, int column) const
{
    const ScheduleEntry &entry = m_monitor.schedule().entries().at(row);
    switch (column) {
    case ProgressiveColumn:
        return QString::number(row + 1);
    case StartDateColumn:
        return m_locale.toString(entry.startDate.toLocalTime(), "yyyy.MM.dd, HH:mm - dddd");
    case SessionNameColumn:
        return entry.sessionName;
    case StateColumn:
        return entry.state == EntryState::Wait  ? GLS("Wait")
               : entry.state == EntryState::Run ? GLS("Run")
                                                : GLS("Done");
    case ErrorsColumn:
        return entry.state == EntryState::Done ? QString::number(entry.errors) : QString();
    default:
        return QString();
    }
}

QVariant MonitorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != IdentifierRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return columnIdentifier(section);
}

QString MonitorModel::columnIdentifier(int column)
{
    static const char *const identifiers[ColumnCount] = {"nextExe",     "progressive", "startDate",
                                                         "sessionName", "state",       "errors"};
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(identifiers[column]) : QString();
}

bool MonitorModel::isDaysChoiceEnabled() const
{
    return !m_monitor.isBlocked();
}

void MonitorModel::chooseDays(int position)
{
    if (m_monitor.isBlocked() || position < 0)
        return;
    m_monitor.setDaysToCover(position + 1);
}

int MonitorModel::daysPosition() const
{
    return m_monitor.daysToCover() - 1;
}

bool MonitorModel::canOpenLog(int row) const
{
    if (row < 0 || row >= rowCount())
        return false;
    const QString path = m_monitor.schedule().entries().at(row).pathLogFile;
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QString MonitorModel::logPath(int row) const
{
    return canOpenLog(row) ? m_monitor.schedule().entries().at(row).pathLogFile : QString();
}

int MonitorModel::deleteRows(const QList<int> &rows)
{
    if (rows.isEmpty() || !m_monitor.deleteEntries(rows))
        return -1;
    if (rowCount() == 0)
        return -1;
    const int lowest = *std::min_element(rows.begin(), rows.end());
    return std::min(lowest, rowCount() - 1);
}

} // namespace qm
