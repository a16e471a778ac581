#pragma once

#include "apps/ShieldDisplay.h"

#include <QList>
#include <QPointer>

#include <memory>
#include <vector>

class QScreen;
class ScreenGrabber;
class ShieldWindow;

// The shield on every screen. The windows are built once per set of screens and kept hidden
// between uses, so putting the shield up only grabs the screens and maps the windows.
class ShieldWindows : public ShieldDisplay
{
public:
    ShieldWindows();
    ~ShieldWindows() override;

    int showWindows(ShieldModel& model) override;
    void hideWindows() override;
    void activateWindows() override;

    const std::vector<std::unique_ptr<ShieldWindow>>& windows() const { return m_windows; }

private:
    void rebuildFor(const QList<QScreen*>& screens, ShieldModel& model);

    std::vector<std::unique_ptr<ShieldWindow>> m_windows;
    QList<QPointer<QScreen>> m_screens;
    ShieldModel* m_model = nullptr;
    std::unique_ptr<ScreenGrabber> m_grabber;
};
