#pragma once
// Where secrets go: the desktop's password store when there is one, through
// a small interface so that tests use a store of their own. The SMTP
// password lives there when the store takes it, and in the preferences file
// only when no store is available.
#include <QString>
#include <QVariantMap>

#include <memory>

namespace qm {

class SecretStore {
public:
    enum class Result {
        Done,
        NotFound,    // the store works but holds no such secret
        Unavailable, // no store on this desktop (or none built in)
        Failed,      // the store refused (locked, denied)
    };

    virtual ~SecretStore() = default;
    // Each call waits for the store's answer; the desktop's store may show
    // its own unlock prompt meanwhile.
    virtual Result read(const QString &key, QString *secret) = 0;
    virtual Result write(const QString &key, const QString &secret) = 0;
    virtual Result remove(const QString &key) = 0;
};

// The desktop's password store when the program was built with it; a store
// that is always unavailable otherwise.
std::unique_ptr<SecretStore> makeDesktopSecretStore();

// The SMTP password between the preferences and the secret store.
class MailPassword {
public:
    // Preference key: 1 when the password is in the secret store (the file
    // then holds an empty prefSmtpPassword), 0 or missing when it is in the file.
    static constexpr const char *kInStoreKey = "prefSmtpPasswordInSecretStore";
    static constexpr const char *kStoreKey = "smtp-password";

    enum class Place { SecretStore, PreferencesFile };

    // Stores `password` in the secret store when it takes it, else in the
    // preferences; either way the in-memory preferences hold it for mailing.
    // An empty password is removed from the store.
    static Place store(QVariantMap &prefs, const QString &password, SecretStore &store);
    // At start: fetches the password from the store into the in-memory
    // preferences when it lives there. False when the store could not give it.
    static bool load(QVariantMap &prefs, SecretStore &store);
    // The preferences as written to the file: without the password when the
    // secret store keeps it.
    static QVariantMap forFile(const QVariantMap &prefs);
    static Place placeOf(const QVariantMap &prefs);
    // The text beside the password field.
    static QString placeText(Place place);
};

} // namespace qm
