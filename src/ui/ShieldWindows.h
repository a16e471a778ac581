#pragma once

#include "apps/ShieldDisplay.h"

#include <QList>
#include <QPointer>

#include <memory>
#include <vector>

class QObject;
class QScreen;
class QWindow;
class ScreenGrabber;
class ShieldWindow;

// The shield on every screen. The windows are built once per set of screens and kept hidden
// between uses, so putting the shield up only grabs the screens and maps the windows. While the
// shield is up, a screen plugged in gets its own window at once, and the keyboard stays with the
// shield (or the prompt over it) whoever else the window manager gives the focus to.
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
    ShieldWindow& addWindow(QScreen* screen);
    void cover(ShieldWindow& window, QScreen* screen);
    void screenAdded(QScreen* screen);
    void screenRemoved(QScreen* screen);
    void focusChanged(QWindow* focus);
    // Raises the shield and gives the keyboard to the prompt over it, else to `preferred`.
    void takeKeyboard(QWindow* preferred);

    std::vector<std::unique_ptr<ShieldWindow>> m_windows;
    QList<QPointer<QScreen>> m_screens;
    ShieldModel* m_model = nullptr;
    std::unique_ptr<ScreenGrabber> m_grabber;
    bool m_shown = false;
    int m_grabRetries = 0;
    bool m_refocusQueued = false;
    // Receiver of the application's screen and focus signals; they stop when it goes.
    std::unique_ptr<QObject> m_context;
};
