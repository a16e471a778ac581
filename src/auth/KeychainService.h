#pragma once

#include "VeilmarkBuild.h"
#include "auth/AuthenticationProof.h"
#include "auth/Clock.h"
#include "auth/KeychainError.h"
#include "auth/SecretStore.h"

#include <QByteArray>
#include <QLatin1String>

#include <functional>
#include <variant>

// Keeps the vault token, 32 random bytes made on this machine, in the user's secret store. The
// token is proof-gated: it is handed out only against a proof that a presence prompt has just
// succeeded. Nothing here reaches the user; callers ignore both the token and the errors.
class KeychainService
{
public:
    static constexpr QLatin1String service{VEILMARK_APP_ID};
    static constexpr QLatin1String account{"vault-token"};
    static constexpr int TokenSize = 32;

    // Judges a proof's freshness by the system time.
    explicit KeychainService(SecretStore& store);
    // Judges it by `clock`, which must outlive the service.
    KeychainService(SecretStore& store, const Clock& clock);

    // Creates the token when the store says it is missing; an existing one is never replaced.
    // Never prompts and fails silently.
    void ensureVaultToken();
    // Reads the token with a proof from a prompt that just succeeded; without a fresh proof the
    // store is not consulted at all.
    std::variant<QByteArray, KeychainError> readVaultToken(const AuthenticationProof& proof);

private:
    SecretStore& m_store;
    std::function<QDateTime()> m_now;
};
