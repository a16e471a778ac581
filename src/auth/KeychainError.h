#pragma once

#include <QString>

// Why the vault token could not be read or created.
class KeychainError
{
public:
    enum class Kind
    {
        unhandled,
        accessControlCreationFailed,
    };

    // Status codes carried by unhandled(). They keep the numbers secret stores commonly use for
    // these failures, so a status in a log means the same whichever store produced it.
    static constexpr int itemNotFound = -25300;
    // The store is locked, unreachable or failed; the store's own text is the message.
    static constexpr int notAvailable = -25291;
    // Reading needs a fresh proof of presence and none was given.
    static constexpr int interactionNotAllowed = -25308;

    static KeychainError unhandled(int status, const QString& platformMessage = {});
    static KeychainError accessControlCreationFailed();

    Kind kind() const { return m_kind; }
    int status() const { return m_status; }
    QString platformMessage() const { return m_platformMessage; }
    QString description() const;

    friend bool operator==(const KeychainError&, const KeychainError&) = default;

private:
    KeychainError(Kind kind, int status, const QString& platformMessage);

    Kind m_kind;
    int m_status;
    QString m_platformMessage;
};
