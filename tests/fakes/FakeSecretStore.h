#pragma once

#include "auth/SecretStore.h"

#include <QByteArray>
#include <QMap>
#include <QPair>
#include <QString>

// An in-memory SecretStore that counts its calls and fails on request.
class FakeSecretStore : public SecretStore
{
public:
    using Key = QPair<QString, QString>; // service, account

    QMap<Key, QByteArray> items;

    // Failures to simulate; a failing store leaves the items unchanged.
    bool unavailable = false; // every call answers as an unreachable store
    QString storeError;       // store() fails with this text when set
    bool failReads = false;   // read() answers unavailable with readError
    QString readError;

    int lookups = 0;
    int stores = 0;
    int reads = 0;
    int failedReads = 0; // reads answered `unavailable`

    Presence lookup(const QString& service, const QString& account) override
    {
        ++lookups;
        if (unavailable)
            return Presence::unavailable;
        return items.contains({service, account}) ? Presence::found : Presence::notFound;
    }

    std::optional<QString> store(const QString& service, const QString& account,
                                 const QByteArray& secret) override
    {
        ++stores;
        if (unavailable)
            return QStringLiteral("unavailable");
        if (!storeError.isEmpty())
            return storeError;
        items.insert({service, account}, secret);
        return std::nullopt;
    }

    Presence read(const QString& service, const QString& account, QByteArray* secret, QString* error) override
    {
        ++reads;
        if (unavailable || failReads) {
            ++failedReads;
            *error = readError;
            return Presence::unavailable;
        }
        const auto it = items.constFind({service, account});
        if (it == items.constEnd())
            return Presence::notFound;
        *secret = *it;
        return Presence::found;
    }
};
