#include "KeychainService.h"

#include "io/Logging.h"

#include <QCoreApplication>

#include <cerrno>
#include <sys/random.h>

namespace {
// Fills `bytes` from the kernel's CSPRNG; false when it fails.
bool fillRandom(QByteArray& bytes)
{
    char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::getrandom(data, static_cast<size_t>(left), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}
} // namespace

KeychainService::KeychainService(SecretStore& store)
    : m_store(store)
    , m_now(&QDateTime::currentDateTimeUtc)
{}

KeychainService::KeychainService(SecretStore& store, const Clock& clock)
    : m_store(store)
    , m_now([&clock] { return clock.now(); })
{}

void KeychainService::ensureVaultToken()
{
    // An unreachable store may well hold the token; writing blind would replace it.
    switch (m_store.lookup(service, account)) {
    case SecretStore::Presence::found:
        return;
    case SecretStore::Presence::unavailable:
        qCWarning(lcAuth) << "the keyring cannot be reached; the vault token is not checked";
        return;
    case SecretStore::Presence::notFound:
        break;
    }
    QByteArray token(TokenSize, Qt::Uninitialized);
    if (!fillRandom(token)) {
        qCWarning(lcAuth) << "no random bytes for the vault token";
        return;
    }
    if (const std::optional<QString> error = m_store.store(service, account, token))
        qCWarning(lcAuth) << "cannot store the vault token:" << *error;
}

std::variant<QByteArray, KeychainError> KeychainService::readVaultToken(const AuthenticationProof& proof)
{
    if (!proof.isFresh(m_now()))
        return KeychainError::unhandled(
            KeychainError::interactionNotAllowed,
            QCoreApplication::translate("KeychainService", "No fresh proof of presence was given."));
    QByteArray token;
    QString error;
    switch (m_store.read(service, account, &token, &error)) {
    case SecretStore::Presence::found:
        return token;
    case SecretStore::Presence::notFound:
        return KeychainError::unhandled(
            KeychainError::itemNotFound,
            QCoreApplication::translate("KeychainService", "The vault token is not in the keyring."));
    case SecretStore::Presence::unavailable:
        break;
    }
    return KeychainError::unhandled(
        KeychainError::notAvailable,
        error.isEmpty() ? QCoreApplication::translate("KeychainService", "No keyring is available.") : error);
}
