#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A place for small secrets, one item per (service, account). Implementations never prompt: a
// locked or unreachable store answers `unavailable` instead of asking the user to unlock it.
class SecretStore
{
public:
    enum class Presence
    {
        found,
        notFound,
        // The store cannot be reached or read now; the item may still exist.
        unavailable,
    };

    virtual ~SecretStore() = default;

    // Whether the item exists. Does not load the secret, so it works on a locked store too.
    virtual Presence lookup(const QString& service, const QString& account) = 0;
    // Creates the item or replaces its secret. Returns an error text on failure.
    virtual std::optional<QString> store(const QString& service, const QString& account,
                                         const QByteArray& secret) = 0;
    // Loads the secret into `secret` when found; `error` gets a text when unavailable.
    virtual Presence read(const QString& service, const QString& account, QByteArray* secret,
                          QString* error) = 0;
};
