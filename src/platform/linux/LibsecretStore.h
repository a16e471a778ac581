#pragma once

#include "auth/SecretStore.h"

// Items in the user's keyring through the Secret Service (libsecret). Secrets are stored as
// binary values ("application/octet-stream") under the schema named by the application ID with the
// attributes "service" and "account". Calls are synchronous: they are rare and short.
//
// Nothing here unlocks a collection, since unlocking shows the keyring's password prompt: a
// locked keyring reports items as present but unreadable, and refuses new ones.
class LibsecretStore : public SecretStore
{
public:
    // Whether a Secret Service owns, or can be started for, org.freedesktop.secrets on the session
    // bus. Starts nothing itself.
    static bool isAvailable();

    Presence lookup(const QString& service, const QString& account) override;
    std::optional<QString> store(const QString& service, const QString& account,
                                 const QByteArray& secret) override;
    Presence read(const QString& service, const QString& account, QByteArray* secret,
                  QString* error) override;
};
