#pragma once

#include "apps/ShieldDisplay.h"

#include <QList>
#include <QPointer>

#include <memory>
#include <vector>

class QObject;
class QQmlEngine;
class QScreen;
class QWindow;
class ScreenGrabber;
class ShieldKeeper;
class ShieldWindow;

// The shield on every screen. Its windows exist only while it is up: putting it up builds one per
// screen, taking it down destroys them with their items, images and textures, so a Veilmark waiting
// in the tray holds none of them. Only the QML engine stays, with the compiled views: about half a
// MiB, where making it anew would add some 10 ms to every shield. While the shield is up, a screen
// plugged in gets its own window at once, and the keyboard stays with the shield (with the window
// holding the prompt, when one does) whoever else the window manager gives the focus to.
//
// Where Veilmark cannot place its windows or hold the keyboard itself (Wayland), a keeper does it:
// the windows are shown full screen on their screens and the keeper keeps them above and focused.
class ShieldWindows : public ShieldDisplay
{
public:
    explicit ShieldWindows(ShieldKeeper* keeper = nullptr);
    ~ShieldWindows() override;

    int showWindows(ShieldModel& model) override;
    void hideWindows() override;
    void activateWindows() override;

    // The windows of the shield that is up; none while it is down.
    const std::vector<std::unique_ptr<ShieldWindow>>& windows() const { return m_windows; }

private:
    // Covers `screens` with new windows: each screen's picture is taken before any window covers it.
    void cover(const QList<QScreen*>& screens);
    // Hides the window and deletes it once control is back in the event loop, as it may be the one
    // whose button took the shield down.
    void retire(std::unique_ptr<ShieldWindow> window);
    void screenAdded(QScreen* screen);
    void screenRemoved(QScreen* screen);
    void focusChanged(QWindow* focus);
    ShieldWindow* promptWindow() const;
    // Raises the shield and gives the keyboard to the window holding the prompt, else to `preferred`.
    void takeKeyboard(QWindow* preferred);

    std::vector<std::unique_ptr<ShieldWindow>> m_windows;
    QList<QPointer<QScreen>> m_screens;
    // Taken down, not deleted yet.
    QList<QPointer<ShieldWindow>> m_retired;
    ShieldModel* m_model = nullptr;
    std::unique_ptr<ScreenGrabber> m_grabber;
    ShieldKeeper* m_keeper = nullptr;
    std::unique_ptr<QQmlEngine> m_engine;
    bool m_shown = false;
    int m_grabRetries = 0;
    bool m_refocusQueued = false;
    // Receiver of the application's screen and focus signals; they stop when it goes.
    std::unique_ptr<QObject> m_context;
};
