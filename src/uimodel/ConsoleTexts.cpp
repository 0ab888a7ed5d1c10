#include "uimodel/ConsoleTexts.h"

#include "app/SessionDefaults.h"
#include "fs/LPUtilities.h"
#include "platform/FileName.h"
#include "platform/Messages.h"

#include <sys/stat.h>

namespace qm {

namespace {

bool isSync(int task) { return task == int(SessionTask::Synchronize); }

} // namespace

PathKind pathKindAt(const QString &path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(nativeName(path).constData(), &st) != 0)
        return PathKind::Missing;
    if (!S_ISDIR(st.st_mode))
        return PathKind::File;
    return isFilePackageAtPath(path) ? PathKind::Package : PathKind::Folder;
}

QString GetEmptyTopBottomString(FolderSide side, bool allSessions, int task, PathKind otherSide)
{
    if (allSessions)
        return QString();
    const bool source = side == FolderSide::Source;
    const QString sideWord = isSync(task) ? (source ? GLS("1st") : GLS("2nd"))
                                          : (source ? GLS("source") : GLS("destination"));
    const bool file = otherSide == PathKind::File || otherSide == PathKind::Package;
    return GLS("Drag here the") + u' ' + sideWord + u' ' + (file ? GLS("file") : GLS("folder"));
}

ButtonText SetMainButtonName(bool allSessions, int task)
{
    if (allSessions)
        return {GLS("Execute All"), GLS("Executes/Stops all the Sessions")};
    if (isSync(task))
        return {GLS("Synchronize"), GLS("Starts/Stops the Synchronization")};
    return {GLS("Backup"), GLS("Starts/Stops the Backup")};
}

QString stopButtonTitle() { return GLS("Stop"); }

QString arrowImageName(int task)
{
    return isSync(task) ? QStringLiteral("OrangeArrow") : QStringLiteral("GrayArrow");
}

QString pickToolTip(FolderSide side, int task)
{
    const bool source = side == FolderSide::Source;
    if (isSync(task))
        return source ? GLS("Choose the first folder/file") : GLS("Choose the second folder/file");
    return source ? GLS("Choose the source folder/file") : GLS("Choose the destination folder/file");
}

QString pickPanelTitle(FolderSide side)
{
    return side == FolderSide::Source ? GLS("Choose the source Folder") : GLS("Choose the destination Folder");
}

QString folderToolTip(FolderSide side)
{
    return side == FolderSide::Source
               ? GLS("The source folder. Control key and click to reveal the folder in Finder.")
               : GLS("The destination folder. Control key and click to reveal the folder in Finder.");
}

QString itemsToDoText(int itemsLeft)
{
    return GLS("Items to do:") + QStringLiteral(" %1").arg(itemsLeft);
}

QString lastExactSyncText(const QDateTime &when, const QLocale &locale)
{
    // The looked-up text carries calendar conversions; only these occur.
    const QString format = GLS("• Last Exact Sync: %b %d %Y, %H:%M:%S");
    const QDate d = when.date();
    const QTime t = when.time();
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    QString out;
    for (int i = 0; i < format.size(); ++i) {
        if (format.at(i) != u'%' || i + 1 == format.size()) {
            out += format.at(i);
            continue;
        }
        switch (format.at(++i).unicode()) {
        case 'b': out += locale.monthName(d.month(), QLocale::ShortFormat); break;
        case 'd': out += two(d.day()); break;
        case 'm': out += two(d.month()); break;
        case 'Y': out += QString::number(d.year()); break;
        case 'H': out += two(t.hour()); break;
        case 'M': out += two(t.minute()); break;
        case 'S': out += two(t.second()); break;
        case '%': out += u'%'; break;
        default: out += u'%'; out += format.at(i); break;
        }
    }
    return out;
}

QString syncAndQuitCountdownText(int secondsLeft)
{
    return GLS("Starting Sync And Quit in %d seconds...").replace(QStringLiteral("%d"), QString::number(secondsLeft));
}

DrawerTexts drawerTexts(int copyMode, const QString &source, const QString &destination)
{
    switch (copyMode) {
    case 2:
    case 3: return {GLS("Copying:"), source, destination};
    case 4:
    case 5: return {GLS("Replacing:"), source, destination};
    case 6:
    case 7: return {GLS("Deleting:"), source, QString()};
    default: return {GLS("Processing item:"), QString(), QString()};
    }
}

QString drawerSizeText(std::optional<qint64> bytes)
{
    if (!bytes)
        return QStringLiteral("--");
    static const char *const units[] = {"bytes", "KB", "MB", "GB"};
    qint64 value = *bytes;
    int unit = 0;
    while (value > 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return QString::number(value) + u' ' + GLS(units[unit]);
}

QString drawerTriangleImage(bool open)
{
    return open ? QStringLiteral("TriangleDown_Up") : QStringLiteral("TriangleRight_Up");
}

QString reportText(const RunReport &r)
{
    const QString bullet = QStringLiteral("• ");
    QString out;
    if (r.allSessions && !r.startedByTimer) {
        out = bullet + QString::number(r.sessionsDone) + u' ' + GLS("Sessions Done of") + u' '
              + QString::number(r.sessionCount);
    } else if (r.multi) {
        out = bullet + QString::number(r.tasksDone) + u' ' + GLS("Multiple Tasks Done of") + u' '
              + QString::number(r.taskCount);
    } else {
        const QString source = r.sourceFolder.isEmpty() ? GLS("Source Folder not defined") : r.sourceFolder;
        const QString dest = r.destFolder.isEmpty() ? GLS("Destination Folder not defined") : r.destFolder;
        out = bullet + source + QStringLiteral(": ") + QString::number(r.sourceFilesCopied) + u'\r' + bullet
              + dest + QStringLiteral(": ") + QString::number(r.destFilesCopied);
    }
    out += QStringLiteral("\r• ") + GLS("Errors:") + u' ' + QString::number(r.errors);
    if (r.mailFailed)
        out += QStringLiteral("\r• ") + GLS("Can't send email") + u'.';
    return out;
}

QString reportArrowImageName(const RunReport &r)
{
    if (r.allSessions && !r.startedByTimer)
        return QStringLiteral("OrangeArrow");
    return arrowImageName(r.task);
}

} // namespace qm
