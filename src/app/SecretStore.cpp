#include "app/SecretStore.h"

#include "platform/Messages.h"

#ifdef QM_HAVE_QTKEYCHAIN
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>
#endif

namespace qm {

namespace {

const QString kPasswordKey = QStringLiteral("prefSmtpPassword");

class NoSecretStore : public SecretStore {
public:
    Result read(const QString &, QString *) override { return Result::Unavailable; }
    Result write(const QString &, const QString &) override { return Result::Unavailable; }
    Result remove(const QString &) override { return Result::Unavailable; }
};

#ifdef QM_HAVE_QTKEYCHAIN
// The keychain library's jobs answer through a signal; each call waits for
// it in a local event loop, so the window keeps drawing meanwhile.
class KeychainStore : public SecretStore {
public:
    Result read(const QString &key, QString *secret) override
    {
        QKeychain::ReadPasswordJob job(service());
        job.setAutoDelete(false);
        job.setInsecureFallback(false);
        job.setKey(key);
        const Result r = run(job);
        if (r == Result::Done && secret)
            *secret = job.textData();
        return r;
    }
    Result write(const QString &key, const QString &secret) override
    {
        QKeychain::WritePasswordJob job(service());
        job.setAutoDelete(false);
        job.setInsecureFallback(false);
        job.setKey(key);
        job.setTextData(secret);
        return run(job);
    }
    Result remove(const QString &key) override
    {
        QKeychain::DeletePasswordJob job(service());
        job.setAutoDelete(false);
        job.setInsecureFallback(false);
        job.setKey(key);
        return run(job);
    }

private:
    static constexpr int kAnswerTimeoutMs = 120000;
    static QString service() { return QStringLiteral("Quillmere"); }
    static Result run(QKeychain::Job &job)
    {
        QEventLoop loop;
        bool finished = false;
        QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        // The store may ask to be unlocked; a store that never answers is
        // taken as one that refused.
        QTimer::singleShot(kAnswerTimeoutMs, &loop, &QEventLoop::quit);
        job.start();
        loop.exec();
        if (!finished)
            return Result::Failed;
        switch (job.error()) {
        case QKeychain::NoError: return Result::Done;
        case QKeychain::EntryNotFound: return Result::NotFound;
        case QKeychain::NoBackendAvailable:
        case QKeychain::NotImplemented: return Result::Unavailable;
        default: return Result::Failed;
        }
    }
};
#endif

} // namespace

std::unique_ptr<SecretStore> makeDesktopSecretStore()
{
#ifdef QM_HAVE_QTKEYCHAIN
    return std::make_unique<KeychainStore>();
#else
    return std::make_unique<NoSecretStore>();
#endif
}

MailPassword::Place MailPassword::placeOf(const QVariantMap &prefs)
{
    return prefs.value(QLatin1String(kInStoreKey)).toInt() == 1 ? Place::SecretStore : Place::PreferencesFile;
}

MailPassword::Place MailPassword::store(QVariantMap &prefs, const QString &password, SecretStore &store)
{
    prefs.insert(kPasswordKey, password);
    const QString key = QLatin1String(kStoreKey);
    if (password.isEmpty()) {
        // Nothing to keep: make sure no old password stays in the store.
        const SecretStore::Result r = store.remove(key);
        const bool storeWorks = r == SecretStore::Result::Done || r == SecretStore::Result::NotFound;
        prefs.insert(QLatin1String(kInStoreKey), qlonglong(storeWorks ? 1 : 0));
        return storeWorks ? Place::SecretStore : Place::PreferencesFile;
    }
    const bool kept = store.write(key, password) == SecretStore::Result::Done;
    prefs.insert(QLatin1String(kInStoreKey), qlonglong(kept ? 1 : 0));
    return kept ? Place::SecretStore : Place::PreferencesFile;
}

bool MailPassword::load(QVariantMap &prefs, SecretStore &store)
{
    if (placeOf(prefs) != Place::SecretStore)
        return true;
    QString secret;
    const SecretStore::Result r = store.read(QLatin1String(kStoreKey), &secret);
    if (r == SecretStore::Result::Done) {
        prefs.insert(kPasswordKey, secret);
        return true;
    }
    prefs.insert(kPasswordKey, QString());
    return r == SecretStore::Result::NotFound;
}

QVariantMap MailPassword::forFile(const QVariantMap &prefs)
{
    if (placeOf(prefs) != Place::SecretStore || prefs.value(kPasswordKey).toString().isEmpty())
        return prefs;
    QVariantMap out = prefs;
    out.insert(kPasswordKey, QString());
    return out;
}

QString MailPassword::placeText(Place place)
{
    return place == Place::SecretStore
               ? GLS("The password is kept in the desktop's password store.")
               : GLS("No password store is available: the password is kept in the preferences file.");
}

} // namespace qm
