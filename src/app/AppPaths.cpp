#include "app/AppPaths.h"

#include "platform/Messages.h"

#include <QDir>

namespace qm {
namespace {

QString xdgDir(const char *variable, const QString &home, const char *fallback)
{
    const QString value = QString::fromLocal8Bit(qgetenv(variable));
    // Relative values are invalid by the base-directory rules and are ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return home + QLatin1String(fallback);
}

} // namespace

AppPaths AppPaths::fromEnvironment()
{
    AppPaths p;
    p.home = QDir::cleanPath(QString::fromLocal8Bit(qgetenv("HOME")));
    p.prefFolder = xdgDir("XDG_CONFIG_HOME", p.home, "/.config") + QStringLiteral("/Quillmere");
    p.prefFile = p.prefFolder + QStringLiteral("/Quillmere 3.0 Prefs.plist");
    p.templateFile = p.prefFolder + QStringLiteral("/Quillmere 3.0 Template.plist");
    p.saveDocTest1 = p.prefFolder + QStringLiteral("/Quillmere 3.0 SaveDocTest1.plist");
    p.saveDocTest2 = p.prefFolder + QStringLiteral("/Quillmere 3.0 SaveDocTest2.plist");
    p.tempVolumeInfo = p.prefFolder + QStringLiteral("/Quillmere 3.0 TempVolumeInfo.plist");
    p.oldIndexFolder = p.prefFolder + QStringLiteral("/Quillmere 3.0 ExactSync Indexes");
    p.makerFolder = xdgDir("XDG_DATA_HOME", p.home, "/.local/share") + QStringLiteral("/Brantwick");
    p.supportFolder = p.makerFolder + QStringLiteral("/Quillmere Vell 3");
    p.exactSyncIndexFolder = p.supportFolder + QStringLiteral("/ExactSync Indexes");
    p.defaultLogFolder = p.supportFolder + u'/' + GLS("Log Files");
    return p;
}

} // namespace qm
