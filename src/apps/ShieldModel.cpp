#include "ShieldModel.h"

void ShieldModel::setApp(const QString& appName, const QImage& icon)
{
    m_appName = appName;
    m_icon = icon;
    emit changed();
}

void ShieldModel::setStatus(const QString& text, bool isAuthenticating, bool failed)
{
    m_statusText = text;
    m_isAuthenticating = isAuthenticating;
    m_failed = failed;
    emit changed();
}
