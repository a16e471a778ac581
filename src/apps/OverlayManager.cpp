#include "OverlayManager.h"

#include "apps/ShieldDisplay.h"

#include <QCoreApplication>

OverlayManager::OverlayManager(ShieldDisplay& display)
    : m_display(display)
{}

void OverlayManager::show(const QString& appName, const QImage& icon, const QString& method,
                          std::function<void()> onUnlock, std::function<void()> onPassword,
                          std::function<void()> onCancel)
{
    hide();
    m_idleStatus = QCoreApplication::translate("OverlayManager", "Locked — %1 required").arg(method);
    m_model.setApp(appName, icon);
    m_model.setStatus(m_idleStatus, false, false);
    m_model.onUnlockRequested = std::move(onUnlock);
    m_model.onPasswordRequested = std::move(onPassword);
    m_model.onCancel = std::move(onCancel);
    m_windowCount = m_display.showWindows(m_model);
}

void OverlayManager::hide()
{
    m_display.hideWindows();
    m_windowCount = 0;
}

void OverlayManager::showFailure(const QString& message)
{
    m_model.setStatus(message, false, true);
}

void OverlayManager::activate()
{
    if (isShown())
        m_display.activateWindows();
}
