#include "ui/WindowFrames.h"

#include "platform/OwnFiles.h"

#include <QMainWindow>
#include <QHeaderView>
#include <QSettings>
#include <QTableView>

namespace qm {

WindowFrames::WindowFrames(const QString &prefFolder)
    : m_file(prefFolder + QStringLiteral("/Quillmere Window Frames.ini"))
{
}

void WindowFrames::save(const QWidget *window, const QString &autosaveName) const
{
    // Written as the person who runs the program, also in set-user-id mode.
    const OwnFilesAccess asUser;
    QSettings store(m_file, QSettings::IniFormat);
    store.setValue(autosaveName + QStringLiteral("/geometry"), window->saveGeometry());
    if (auto *main = qobject_cast<const QMainWindow *>(window))
        store.setValue(autosaveName + QStringLiteral("/state"), main->saveState());
    store.sync();
}

bool WindowFrames::restore(QWidget *window, const QString &autosaveName) const
{
    const QSettings store(m_file, QSettings::IniFormat);
    const QByteArray geometry = store.value(autosaveName + QStringLiteral("/geometry")).toByteArray();
    if (geometry.isEmpty() || !window->restoreGeometry(geometry))
        return false;
    if (auto *main = qobject_cast<QMainWindow *>(window))
        main->restoreState(store.value(autosaveName + QStringLiteral("/state")).toByteArray());
    return true;
}

void WindowFrames::saveHeader(const QTableView *table, const QString &autosaveName) const
{
    QSettings store(m_file, QSettings::IniFormat);
    store.setValue(autosaveName + QStringLiteral("/columns"), table->horizontalHeader()->saveState());
}

bool WindowFrames::restoreHeader(QTableView *table, const QString &autosaveName) const
{
    const QSettings store(m_file, QSettings::IniFormat);
    const QByteArray state = store.value(autosaveName + QStringLiteral("/columns")).toByteArray();
    return !state.isEmpty() && table->horizontalHeader()->restoreState(state);
}

} // namespace qm
