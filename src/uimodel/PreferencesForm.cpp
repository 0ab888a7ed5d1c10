#include "uimodel/PreferencesForm.h"

#include "app/Preferences.h"
#include "platform/Messages.h"
#include "report/Mail.h"

namespace qm {

namespace {

struct Reader {
    const QVariantMap &prefs;
    QVariantMap defaults = mailPreferenceDefaults();

    QVariant value(const char *key) const
    {
        const QString k = QLatin1String(key);
        return prefs.contains(k) ? prefs.value(k) : defaults.value(k);
    }
    // Flags may be stored as integers or, after a repair, as booleans.
    bool flag(const char *key) const { return value(key).toInt() != 0 || value(key).toBool(); }
    int number(const char *key, int fallback) const
    {
        const QVariant v = value(key);
        return v.isValid() ? v.toInt() : fallback;
    }
    QString text(const char *key) const { return value(key).toString(); }
};

qlonglong flagValue(bool on) { return on ? 1 : 0; }

} // namespace

PreferencesForm::PreferencesForm(SecretStore &secrets, std::function<void(bool)> rootChanged)
    : m_secrets(secrets), m_rootChanged(std::move(rootChanged))
{
}

void PreferencesForm::PrefSet(const QVariantMap &prefs)
{
    const Reader r{prefs};
    PreferencesValues &v = m_values;
    v.syncAndQuit = r.flag("prefSyncAndQuit");
    v.askConfirmation = r.flag("prefAskConfirmation");
    v.preview = r.flag("prefPreview");
    v.beepWhenDone = r.flag("prefBeepWhenDone");
    v.shutDown = r.flag("prefShutDown");
    v.onError = r.number("prefOnError", 3);
    v.saveLogFile = r.flag("prefSaveLogFile");
    v.saveLogFileWhen = r.number("prefSaveLogFileWhen", 2);
    v.logFileFormat = r.number("prefLogFileFormat", 1);
    v.logKind = r.number("prefLogKind", 2);
    v.logFolder = r.text("prefPathLogFolder");
    v.deleteLogsOn = r.flag("prefDeleteLogsOn");
    v.deleteLogsPop = r.number("prefDeleteLogsPop", 0);
    v.deleteLogsField = r.number("prefDeleteLogsField", 7);
    v.sendEmail = r.flag("prefSendEmail");
    v.sendEmailWhen = r.number("prefSendEmailWhen", 2);
    v.sendEmailAddress = r.text("prefSendEmailAddress");
    v.root = r.flag("prefRoot");
    v.modificationDelta = r.flag("prefModificationDelta");
    v.modificationDeltaField = r.number("prefModificationDeltaField", 10);
    v.tab = r.text("prefTabViewIdentifier");
    if (v.tab.isEmpty())
        v.tab = QStringLiteral("General");
    v.transport = r.number("prefSendEmailTransport", 1);
    v.sendmailPath = r.text("prefSendmailPath");
    v.smtpHost = r.text("prefSmtpHost");
    v.smtpPort = r.number("prefSmtpPort", 587);
    v.smtpSecurity = r.number("prefSmtpSecurity", 1);
    v.smtpUser = r.text("prefSmtpUser");
    v.smtpPassword = r.text("prefSmtpPassword");
    v.smtpFrom = r.text("prefSmtpFrom");
    m_openedRoot = v.root;
    m_passwordEdited = false;
    m_passwordPlace = MailPassword::placeOf(prefs);
}

void PreferencesForm::setSmtpPassword(const QString &password)
{
    m_values.smtpPassword = password;
    m_passwordEdited = true;
}

QString PreferencesForm::passwordPlaceText() const { return MailPassword::placeText(m_passwordPlace); }

PreferencesForm::GetResult PreferencesForm::PrefGet(QVariantMap &prefs)
{
    PreferencesValues &v = m_values;
    if (v.sendEmail) {
        const QString refusal = Preferences::checkMailAddress(v.sendEmailAddress);
        if (!refusal.isEmpty())
            return {false, refusal, Field::MailAddress};
    }
    const QString ageRefusal = Preferences::checkDeleteLogsField(v.deleteLogsField);
    if (!ageRefusal.isEmpty()) {
        v.deleteLogsField = 1;
        return {false, ageRefusal, Field::DeleteLogsAge};
    }
    // A port outside the range would only fail later, after a run, where
    // nobody can correct it.
    if (v.sendEmail && v.transport == 2 && (v.smtpPort < kMinPort || v.smtpPort > kMaxPort))
        return {false, GLS("The SMTP port must be a number from 1 to 65535."), Field::SmtpPort};

    auto put = [&prefs](const char *key, const QVariant &value) { prefs.insert(QLatin1String(key), value); };
    put("prefSyncAndQuit", flagValue(v.syncAndQuit));
    put("prefAskConfirmation", flagValue(v.askConfirmation));
    put("prefPreview", flagValue(v.preview));
    put("prefBeepWhenDone", flagValue(v.beepWhenDone));
    put("prefShutDown", flagValue(v.shutDown));
    put("prefOnError", qlonglong(v.onError));
    put("prefSaveLogFile", flagValue(v.saveLogFile));
    put("prefSaveLogFileWhen", qlonglong(v.saveLogFileWhen));
    put("prefLogFileFormat", qlonglong(v.logFileFormat));
    put("prefLogKind", qlonglong(v.logKind));
    put("prefPathLogFolder", v.logFolder);
    put("prefDeleteLogsOn", flagValue(v.deleteLogsOn));
    put("prefDeleteLogsPop", qlonglong(v.deleteLogsPop));
    put("prefDeleteLogsField", qlonglong(v.deleteLogsField));
    put("prefSendEmail", flagValue(v.sendEmail));
    put("prefSendEmailWhen", qlonglong(v.sendEmailWhen));
    put("prefSendEmailAddress", v.sendEmailAddress);
    put("prefRoot", flagValue(v.root));
    put("prefModificationDelta", flagValue(v.modificationDelta));
    put("prefModificationDeltaField", qlonglong(v.modificationDeltaField));
    put("prefTabViewIdentifier", v.tab);
    put("prefSendEmailTransport", qlonglong(v.transport));
    put("prefSendmailPath", v.sendmailPath);
    put("prefSmtpHost", v.smtpHost);
    put("prefSmtpPort", qlonglong(v.smtpPort));
    put("prefSmtpSecurity", qlonglong(v.smtpSecurity));
    put("prefSmtpUser", v.smtpUser);
    put("prefSmtpFrom", v.smtpFrom);
    // An untouched field keeps the password where it is: a store that could
    // not give it at start must not lose it now.
    if (m_passwordEdited) {
        m_passwordPlace = MailPassword::store(prefs, v.smtpPassword, m_secrets);
        m_passwordEdited = false;
    }
    return {true, QString(), Field::None};
}

PreferencesForm::ApplyResult PreferencesForm::PrefApply(int buttonTag, QVariantMap &prefs,
                                                    const std::function<void(const QVariantMap &)> &writeFile)
{
    if (buttonTag == kCancelTag)
        return {true, {}};
    const GetResult check = PrefGet(prefs);
    if (!check.ok)
        return {false, check};
    if (writeFile)
        writeFile(prefs);
    if (m_values.root != m_openedRoot && m_rootChanged)
        m_rootChanged(m_values.root);
    m_openedRoot = m_values.root;
    return {true, check};
}

} // namespace qm
