#pragma once

#include "ShieldModel.h"

#include <QImage>
#include <QString>

#include <functional>

class ShieldDisplay;

// Owns the shield: its one model, shared by the windows on every screen, and the status line
// shown while no prompt is open.
class OverlayManager
{
public:
    explicit OverlayManager(ShieldDisplay& display);

    void show(const QString& appName, const QImage& icon, const QString& method,
              std::function<void()> onUnlock, std::function<void()> onPassword,
              std::function<void()> onCancel);
    void hide();
    void showFailure(const QString& message);
    // Takes the keyboard back to the shield while it is up.
    void activate();

    bool isShown() const { return m_windowCount > 0; }
    int windowCount() const { return m_windowCount; }
    const QString& idleStatus() const { return m_idleStatus; }
    ShieldModel& model() { return m_model; }

private:
    ShieldDisplay& m_display;
    ShieldModel m_model;
    QString m_idleStatus;
    int m_windowCount = 0;
};
