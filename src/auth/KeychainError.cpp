#include "KeychainError.h"

#include <QCoreApplication>

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
        const QString text = QCoreApplication::translate("KeychainError", "Keyring error %1").arg(m_status);
        return m_platformMessage.isEmpty() ? text
                                           : QStringLiteral("%1 \u2014 %2").arg(text, m_platformMessage);
    }
    case Kind::accessControlCreationFailed:
        return QCoreApplication::translate("KeychainError", "Could not create keyring access control.");
    }
    return QString();
}
