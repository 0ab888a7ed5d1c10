#pragma once
// Window frames kept by autosave name ("ConsoleWindowFrame", ...) in a
// settings file of their own in the preferences folder, not in the
// preferences file.
#include <QString>

class QWidget;
class QMainWindow;
class QTableView;

namespace qm {

class WindowFrames {
public:
    explicit WindowFrames(const QString &prefFolder);
    QString fileName() const { return m_file; }
    void save(const QWidget *window, const QString &autosaveName) const;
    // False when no frame was kept under the name (the window keeps its own).
    bool restore(QWidget *window, const QString &autosaveName) const;
    // A table's column positions and widths, by autosave name.
    void saveHeader(const QTableView *table, const QString &autosaveName) const;
    bool restoreHeader(QTableView *table, const QString &autosaveName) const;

private:
    QString m_file;
};

} // namespace qm
