#include "KeychainError.h"

KeychainError::KeychainError(Kind kind, int status, const QString& platformMessage)
    : m_kind(kind)
    , m_status(status)
    , m_platformMessage(platformMessage)
{}

KeychainError KeychainError::unhandled(int status, const QString& platformMessage)
{
    return KeychainError(Kind::unhandled, status, platformMessage);
}

KeychainError KeychainError::accessControlCreationFailed()
{
    return KeychainError(Kind::accessControlCreationFailed, 0, QString());
}

QString KeychainError::description() const
{
    switch (m_kind) {
    case Kind::unhandled: {
        QString text = QLatin1String("Keyring error ") + QString::number(m_status);
        if (!m_platformMessage.isEmpty())
            text += QStringLiteral(" \u2014 ") + m_platformMessage;
        return text;
    }
    case Kind::accessControlCreationFailed:
        return QStringLiteral("Could not create keyring access control.");
    }
    return QString();
}
