#pragma once
// The preferences window's rules: what each control shows (PrefSet), which
// controls are enabled, the checks made on OK in their order and what is
// stored (PrefGet), and the hook for a change of the run-as-root box.
#include "app/SecretStore.h"

#include <QString>
#include <QVariantMap>

#include <functional>

namespace qm {

// What the window's controls hold. Check boxes are bools, radio groups and
// pop-ups their tags, fields their text or number.
struct PreferencesValues {
    bool syncAndQuit = false;
    bool askConfirmation = true;
    bool preview = false;
    bool beepWhenDone = false;
    bool shutDown = false;
    int onError = 3;
    bool saveLogFile = false;
    int saveLogFileWhen = 2;
    int logFileFormat = 1;
    int logKind = 2;
    QString logFolder;
    bool deleteLogsOn = false;
    int deleteLogsPop = 0;
    int deleteLogsField = 7;
    bool sendEmail = false;
    int sendEmailWhen = 2;
    QString sendEmailAddress;
    bool root = false;
    bool modificationDelta = false;
    int modificationDeltaField = 10;
    QString tab = QStringLiteral("General");
    // The mail transport.
    int transport = 1; // 1 sendmail program, 2 SMTP server
    QString sendmailPath;
    QString smtpHost;
    int smtpPort = 587;
    int smtpSecurity = 1; // 0 none, 1 STARTTLS, 2 TLS
    QString smtpUser;
    QString smtpPassword;
    QString smtpFrom;
};

class PreferencesForm {
public:
    static constexpr int kCancelTag = 99;
    static constexpr int kMinPort = 1;
    static constexpr int kMaxPort = 65535;

    // The field the window selects after a refused OK.
    enum class Field { None, MailAddress, DeleteLogsAge, SmtpPort };

    struct GetResult {
        bool ok = false;
        QString message; // the alert ("Warning:", "OK") when not ok
        Field field = Field::None;
    };

    // `secrets` keeps the SMTP password (see MailPassword); `rootChanged` is
    // called after an OK that changed the run-as-root box, with its new state.
    explicit PreferencesForm(SecretStore &secrets, std::function<void(bool root)> rootChanged = {});

    // PrefSet: the controls from the preferences.
    void PrefSet(const QVariantMap &prefs);
    PreferencesValues &values() { return m_values; }
    const PreferencesValues &values() const { return m_values; }
    // The password field was typed into: only then is it stored again.
    void setSmtpPassword(const QString &password);

    // Enabling rules, applied again whenever a check box changes.
    bool saveLogChoicesEnabled() const { return m_values.saveLogFile; } // timing, format, delete box
    bool deleteLogsChoicesEnabled() const { return m_values.saveLogFile && m_values.deleteLogsOn; }
    bool mailChoicesEnabled() const { return m_values.sendEmail; } // address, timing, transport
    bool sendmailPathEnabled() const { return m_values.sendEmail && m_values.transport == 1; }
    bool smtpFieldsEnabled() const { return m_values.sendEmail && m_values.transport == 2; }
    bool modificationDeltaFieldEnabled() const { return m_values.modificationDelta; }
    bool openLogFolderEnabled() const { return !m_values.logFolder.isEmpty(); }

    // The text beside the password field: where the password is kept.
    QString passwordPlaceText() const;

    // PrefGet: checks the mail address (when mail is on), then the age field
    // (set to 1 when refused), then the SMTP port (when SMTP is chosen); on
    // success stores every control into `prefs`.
    GetResult PrefGet(QVariantMap &prefs);

    struct ApplyResult {
        bool close = false;
        GetResult check;
    };
    // PrefApply: cancel (tag 99) closes without storing; OK stores, writes
    // the whole dictionary with `writeFile` and closes, or keeps the window
    // open when a check fails. After a storing OK that changed the
    // run-as-root box, the hook is called.
    ApplyResult PrefApply(int buttonTag, QVariantMap &prefs,
                          const std::function<void(const QVariantMap &)> &writeFile);

private:
    SecretStore &m_secrets;
    std::function<void(bool)> m_rootChanged;
    PreferencesValues m_values;
    bool m_openedRoot = false;
    bool m_passwordEdited = false;
    MailPassword::Place m_passwordPlace = MailPassword::Place::PreferencesFile;
};

} // namespace qm
