#include "app/Preferences.h"

#include "app/SecretStore.h"

#include "platform/Messages.h"
#include "report/Mail.h"
#include "report/MailAddress.h"
#include "platform/PropertyList.h"

#include <QFile>
#include <QFileInfo>

namespace qm {

QVariantMap Preferences::defaults(const AppPaths &paths, bool euidRoot)
{
    const QString general = QStringLiteral("General");
    QVariantMap prefs{
        {"fileVersion", qlonglong(kFileVersion)},
        {"prefSyncAndQuit", qlonglong(0)},
        {"prefBlessCommand", QString()},
        {"prefAskConfirmation", qlonglong(1)},
        {"prefPreview", qlonglong(0)},
        {"prefBeepWhenDone", qlonglong(0)},
        {"prefShutDown", qlonglong(0)},
        {"prefOnError", qlonglong(3)},
        {"prefSaveLogFile", qlonglong(0)},
        {"prefSaveLogFileWhen", qlonglong(2)},
        {"prefLogFileFormat", qlonglong(1)},
        {"prefLogKind", qlonglong(2)},
        {"prefPathLogFolder", paths.defaultLogFolder},
        {"prefDeleteLogsOn", qlonglong(0)},
        {"prefDeleteLogsPop", qlonglong(0)},
        {"prefDeleteLogsField", qlonglong(7)},
        {"prefSendEmail", qlonglong(0)},
        {"prefSendEmailWhen", qlonglong(2)},
        {"prefSendEmailAddress", QString::fromLatin1(kPlaceholderMailAddress)},
        {"prefRoot", qlonglong(euidRoot ? 1 : 0)},
        {"settCPOn", qlonglong(0)},
        {"settCPPopOwner", qlonglong(0)},
        {"settCPPopGroup", qlonglong(0)},
        {"settCPPopOthers", qlonglong(0)},
        {"prefModificationDelta", qlonglong(0)},
        {"prefModificationDeltaField", qlonglong(10)},
        {"prefTabViewIdentifier", general},
        {"prefSettTabViewIdentifier", general},
        {"prefSchedulingWindowIsOpen", false},
    };
    prefs.insert(mailPreferenceDefaults());
    return prefs;
}

QVariantMap Preferences::read(const AppPaths &paths, bool euidRoot, bool forceDefaults)
{
    QVariantMap prefs;
    const QFileInfo info(paths.prefFile);
    const bool usable = !forceDefaults && info.isFile()
                        && PropertyList::readDictionary(paths.prefFile, &prefs, nullptr)
                        && prefs.contains("fileVersion")
                        && prefs.value("fileVersion").toLongLong() <= kFileVersion;
    if (!usable) {
        prefs = defaults(paths, euidRoot);
        write(paths, prefs);
        return prefs;
    }
    prefs.insert("prefRoot", qlonglong(euidRoot ? 1 : 0));
    const QVariantMap fills{
        {"prefSyncAndQuit", qlonglong(0)},
        {"prefBlessCommand", QString()},
        {"prefTabViewIdentifier", QStringLiteral("General")},
        {"prefModificationDelta", qlonglong(0)},
        {"prefModificationDeltaField", qlonglong(10)},
        {"prefSchedulingWindowIsOpen", false},
        {"prefSettTabViewIdentifier", QStringLiteral("General")},
        {"prefShutDown", qlonglong(0)},
    };
    QVariantMap all = fills;
    // The mail transport's keys came after version 320 files were written.
    all.insert(mailPreferenceDefaults());
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        if (!prefs.contains(it.key()))
            prefs.insert(it.key(), it.value());
    if (!prefs.contains("prefDeleteLogsOn")) {
        prefs.insert("prefDeleteLogsOn", false);
        prefs.insert("prefDeleteLogsPop", qlonglong(0));
        prefs.insert("prefDeleteLogsField", qlonglong(7));
    }
    return prefs;
}

bool Preferences::write(const AppPaths &paths, const QVariantMap &prefs, QString *error)
{
    // Written private to the owner from the start: a password kept in the
    // file is never readable by others, not even for a moment.
    return PropertyList::write(paths.prefFile, MailPassword::forFile(prefs), error);
}

QString Preferences::checkMailAddress(const QString &address)
{
    return isAcceptableMailAddress(address) ? QString() : GLS("Email address not valid.");
}

QString Preferences::checkDeleteLogsField(int value)
{
    return value > 0 ? QString()
                     : GLS("The Delete Logs text field must contain a value greater than zero.");
}

int Preferences::intValue(const QVariantMap &prefs, const char *key, int fallback)
{
    const QVariant v = prefs.value(QLatin1String(key));
    return v.isValid() ? v.toInt() : fallback;
}

} // namespace qm
