#pragma once
// The log window: a saved log file or the last run's log, with the
// previous and next error commands.
#include <QWidget>

#include <functional>

class QListView;
class QPushButton;

namespace qm {

class LogLinesModel;

class LogWindow : public QWidget {
    Q_OBJECT
public:
    explicit LogWindow(QWidget *parent = nullptr);

    // FillLogWindow: the file at path when one is there, otherwise the last
    // run's log. A file that cannot be read is said so; false then, and
    // when there is nothing to show.
    bool fillLogWindow(const QString &path, const QString &lastRunLog);
    // WindowOpenLog: to the front when shown, otherwise filled and shown.
    void WindowOpenLog(const QString &pathLogFile, const QString &lastRunLog);
    // OpenLogWithFileFromScheduling: a past execution's log file.
    void OpenLogWithFileFromScheduling(const QString &path);
    // At the end of every run: refilled when the window is shown.
    void refreshAtRunEnd(const QString &pathLogFile, const QString &lastRunLog);
    // LogFindError: the previous or next error line, selected.
    void LogFindError(bool previous);
    // The selected lines joined by "\n", as Ctrl+C copies them.
    QString selectedLinesText() const;
    void copySelectedLines() const;

    QListView *linesView() const { return m_view; }
    LogLinesModel *linesModel() const { return m_lines; }
    QPushButton *previousButton() const { return m_previous; }
    QPushButton *nextButton() const { return m_next; }

    // The shell around the window, replaceable in tests.
    std::function<void()> beep;
    std::function<void(const QString &title, const QString &message)> alert;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<int> selectedRows() const;

    LogLinesModel *m_lines = nullptr;
    QListView *m_view = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
};

} // namespace qm
