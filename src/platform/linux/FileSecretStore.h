#pragma once

#include "auth/SecretStore.h"

// Fallback for sessions without a Secret Service: one private (0600) JSON document in the data
// directory, {"<service>": {"<account>": "<base64 secret>"}}, replaced atomically on every store.
// It guards the secret only with the file's mode; the proof check stays with the caller.
class FileSecretStore : public SecretStore
{
public:
    static constexpr const char* FileName = "keyring.json";

    QString filePath() const;

    // A document that cannot be parsed holds nothing: its items count as missing and the next
    // store replaces it. A file that exists but cannot be read is unavailable and left alone.
    Presence lookup(const QString& service, const QString& account) override;
    std::optional<QString> store(const QString& service, const QString& account,
                                 const QByteArray& secret) override;
    Presence read(const QString& service, const QString& account, QByteArray* secret,
                  QString* error) override;
};
