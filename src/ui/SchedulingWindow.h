#pragma once
// The scheduling monitor window: the schedule's executions in six columns,
// the days pop-up, open-log and delete. Closing it only hides it.
#include <QWidget>

#include <functional>

class QComboBox;
class QPushButton;
class QTableView;

namespace qm {

class MonitorModel;
class ScheduleMonitor;

class SchedulingWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDayChoices = 31;
    static constexpr const char *kFrameName = "schedulingWindowFrame";
    static constexpr const char *kTableName = "schedulingTable";

    // `openLog` is OpenLogWithFileFromScheduling of the log window.
    SchedulingWindow(ScheduleMonitor &monitor, std::function<void(const QString &)> openLog,
                     QWidget *parent = nullptr);

    // WindowOpenScheduling: shown when hidden, brought to the front otherwise.
    void WindowOpenScheduling();
    // SchedulingOpenLog: the selected execution's log, when it has one.
    void SchedulingOpenLog();
    // DeleteTimerRow: the selected executions, when all are done.
    void DeleteTimerRow();

    MonitorModel *model() const { return m_model; }
    QTableView *table() const { return m_table; }
    QComboBox *daysPopup() const { return m_days; }
    QPushButton *openLogButton() const { return m_openLog; }
    QPushButton *deleteButton() const { return m_delete; }

private:
    MonitorModel *m_model = nullptr;
    QTableView *m_table = nullptr;
    QComboBox *m_days = nullptr;
    QPushButton *m_openLog = nullptr;
    QPushButton *m_delete = nullptr;
    std::function<void(const QString &)> m_openLogFile;

    QList<int> selectedRows() const;
    void updateButtons();
};

} // namespace qm
