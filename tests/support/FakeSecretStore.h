#pragma once
// A password store of the test's own; `available` false behaves as a
// desktop without one.
#include "app/SecretStore.h"

#include <map>

namespace qmtest {

class FakeSecretStore : public qm::SecretStore {
public:
    bool available = true;
    std::map<QString, QString> secrets;

    Result read(const QString &key, QString *secret) override
    {
        if (!available)
            return Result::Unavailable;
        if (!secrets.count(key))
            return Result::NotFound;
        *secret = secrets[key];
        return Result::Done;
    }
    Result write(const QString &key, const QString &secret) override
    {
        if (!available)
            return Result::Unavailable;
        secrets[key] = secret;
        return Result::Done;
    }
    Result remove(const QString &key) override
    {
        if (!available)
            return Result::Unavailable;
        return secrets.erase(key) ? Result::Done : Result::NotFound;
    }
};

} // namespace qmtest
