#pragma once
// Window frames kept by autosave name ("ConsoleWindowFrame", ...) in a
// settings file of their own in the preferences folder, not in the
// preferences file.
#include <QString>

class QWidget;
class QMainWindow;

namespace qm {

class WindowFrames {
public:
    explicit WindowFrames(const QString &prefFolder);
    QString fileName() const { return m_file; }
    void save(const QWidget *window, const QString &autosaveName) const;
    // False when no frame was kept under the name (the window keeps its own).
    bool restore(QWidget *window, const QString &autosaveName) const;

private:
    QString m_file;
};

} // namespace qm
