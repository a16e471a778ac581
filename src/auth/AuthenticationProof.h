#pragma once

#include <QDateTime>

// Evidence that a presence prompt has just succeeded. Only an Authenticator can issue one;
// the keyring accepts it for a short while after it was issued.
class AuthenticationProof
{
public:
    static constexpr qint64 LifetimeSeconds = 30;

    AuthenticationProof() = default; // no proof

    bool isFresh(const QDateTime& now) const
    {
        return m_issuedAt.isValid() && m_issuedAt <= now && m_issuedAt.secsTo(now) <= LifetimeSeconds;
    }
    QDateTime issuedAt() const { return m_issuedAt; }

private:
    friend class Authenticator;
    explicit AuthenticationProof(const QDateTime& issuedAt)
        : m_issuedAt(issuedAt)
    {}

    QDateTime m_issuedAt;
};
