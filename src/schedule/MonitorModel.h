#pragma once
// The list the scheduling monitor shows: one row per schedule entry, kept
// current from the schedule's own signals. Colours and icons are Widgets
// matters, so rows report a tone and an image name that the view maps.
#include <QAbstractTableModel>
#include <QLocale>

namespace qm {

class ScheduleMonitor;

class MonitorModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NextExeColumn, ProgressiveColumn, StartDateColumn, SessionNameColumn, StateColumn,
                  ErrorsColumn, ColumnCount };
    enum Role {
        ToneRole = Qt::UserRole + 1, // RowTone
        ImageNameRole,               // "icnPreviewViolet" on the next execution's icon cell
        IdentifierRole,              // header: the column identifier
    };
    enum RowTone { WaitingTone, RunningTone, DoneTone }; // black, red, grey

    static constexpr const char *kNextTimerImage = "icnPreviewViolet";

    explicit MonitorModel(ScheduleMonitor &monitor, QObject *parent = nullptr);

    void setLocale(const QLocale &locale);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static QString columnIdentifier(int column);

    // The days pop-up: position i means i + 1 days; ignored while blocked.
    bool isDaysChoiceEnabled() const;
    void chooseDays(int position);
    int daysPosition() const;

    // The open-log button: the row's log file exists and is no folder.
    bool canOpenLog(int row) const;
    QString logPath(int row) const;

    // The delete button: removes the rows when all are done and nothing
    // runs; answers the row to select afterwards, or -1.
    int deleteRows(const QList<int> &rows);

Q_SIGNALS:
    // The view scrolls this row into view.
    void rowToShow(int row);
    // The days pop-up is enabled or disabled.
    void daysChoiceEnabledChanged(bool enabled);

private:
    QVariant displayText(int row, int column) const;

    ScheduleMonitor &m_monitor;
    QLocale m_locale;
};

} // namespace qm
