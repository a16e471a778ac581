#include "ShieldWindows.h"

#include "ImageBlur.h"
#include "ScreenGrabber.h"
#include "ShieldKeeper.h"
#include "ShieldWindow.h"

#include <QGuiApplication>
#include <QPixmapCache>
#include <QQmlEngine>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <xcb/xcb.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {
// Another client (the window manager in the middle of a switch) may hold the keyboard for a
// moment; the grab is tried again this often, for up to two seconds.
const int GrabRetryMs = 100;
const int MaxGrabRetries = 20;
} // namespace

// The grabber asks the X server about picture formats once, here rather than on the first shield.
ShieldWindows::ShieldWindows(ShieldKeeper* keeper)
    : m_grabber(std::make_unique<ScreenGrabber>())
    , m_keeper(keeper)
    , m_context(std::make_unique<QObject>())
{
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, m_context.get(),
                     [this](QScreen* screen) { screenAdded(screen); });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, m_context.get(),
                     [this](QScreen* screen) { screenRemoved(screen); });
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, m_context.get(),
                     [this](QWindow* focus) { focusChanged(focus); });
}

ShieldWindows::~ShieldWindows()
{
    // No signal may reach a half-destroyed display; the windows go before the engine they use. An
    // open prompt is not told they went: it would move to the next one going, then into a window
    // of its own, while the application shuts down.
    m_context.reset();
    for (const std::unique_ptr<ShieldWindow>& window : m_windows)
        QObject::disconnect(window.get(), &ShieldWindow::shownChanged, nullptr, nullptr);
    m_windows.clear();
    for (const QPointer<ShieldWindow>& window : std::as_const(m_retired))
        delete window.data();
    m_engine.reset();
}

void ShieldWindows::cover(const QList<QScreen*>& screens)
{
    if (!m_engine)
        m_engine = std::make_unique<QQmlEngine>();
    QList<QImage> backdrops;
    for (QScreen* screen : screens)
        backdrops.append(ImageBlur::backdrop(m_grabber->grabShrunk(screen, ImageBlur::BackdropShrink)));
    // Mapped first, so the screen is covered at once; the views are made after.
    const size_t first = m_windows.size();
    for (QScreen* screen : screens) {
        m_windows.push_back(std::make_unique<ShieldWindow>(screen, *m_model, m_engine.get()));
        m_screens.append(screen);
        ShieldWindow* window = m_windows.back().get();
        // The window manager gives no focus to unmanaged windows: a click on the shield takes it.
        QObject::connect(window, &ShieldWindow::pressed, m_context.get(),
                         [this, window] { takeKeyboard(window); });
        QObject::connect(window, &ShieldWindow::promptChanged, m_context.get(), [this, window] {
            if (window->prompt())
                takeKeyboard(window);
        });
        window->cover(m_keeper != nullptr);
    }
    for (size_t i = first; i < m_windows.size(); ++i)
        m_windows[i]->load(backdrops[qsizetype(i - first)]);
}

int ShieldWindows::showWindows(ShieldModel& model)
{
    hideWindows();
    m_model = &model;
    cover(QGuiApplication::screens());
    m_shown = !m_windows.empty();
    m_grabRetries = 0;
    activateWindows();
    return int(m_windows.size());
}

void ShieldWindows::hideWindows()
{
    const bool wasShown = m_shown;
    m_shown = false;
    if (wasShown && !m_windows.empty())
        m_windows.front()->releaseKeyboard();
    if (wasShown && m_keeper)
        m_keeper->release();
    for (std::unique_ptr<ShieldWindow>& window : m_windows)
        retire(std::move(window));
    m_windows.clear();
    m_screens.clear();
}

void ShieldWindows::retire(std::unique_ptr<ShieldWindow> owned)
{
    ShieldWindow* window = owned.release();
    QObject::disconnect(window, nullptr, m_context.get(), nullptr);
    window->hide();
    window->releaseResources();
    m_retired.append(window);
    // Once the last one is gone, what the allocator kept of them goes back to the system.
    QObject::connect(window, &QObject::destroyed, m_context.get(), [this, window] {
        m_retired.removeIf(
            [window](const QPointer<ShieldWindow>& retired) { return !retired || retired.data() == window; });
        if (!m_retired.isEmpty())
            return;
        // The script heap of the views that went, then what the allocator kept of them.
        m_engine->collectGarbage();
        QPixmapCache::clear();
#if defined(__GLIBC__)
        malloc_trim(0);
#endif
    });
    // A timer rather than deleteLater(), which waits for an event loop to return to.
    QTimer::singleShot(0, m_context.get(), [window] { delete window; });
}

void ShieldWindows::activateWindows()
{
    if (!m_windows.empty())
        takeKeyboard(m_windows.front().get());
}

ShieldWindow* ShieldWindows::promptWindow() const
{
    const auto holder = std::find_if(m_windows.cbegin(), m_windows.cend(),
                                     [](const auto& window) { return window->prompt() != nullptr; });
    return holder == m_windows.cend() ? nullptr : holder->get();
}

void ShieldWindows::takeKeyboard(QWindow* preferred)
{
    if (!m_shown)
        return;
    QWindow* focus = promptWindow();
    if (!focus)
        focus = preferred;
    if (m_keeper) {
        // The keeper holds the windows and the keyboard; nothing here could.
        m_keeper->keep(focus->title());
        return;
    }
    for (const auto& window : m_windows)
        window->raise();
    if (!m_windows.front()->grabKeyboard() && m_grabRetries < MaxGrabRetries) {
        ++m_grabRetries;
        QTimer::singleShot(GrabRetryMs, m_context.get(), [this] { activateWindows(); });
    }
    // The grab only makes sure no other application gets the keys; within Veilmark they go to the
    // window with the focus, which is the one holding the prompt when one does.
    focus->requestActivate();
    // Qt stamps its request with the time of the last event it saw; the window manager's own focus
    // changes since then (after an iconify) would make the server ignore it. "Now" always counts.
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_set_input_focus(x11->connection(), XCB_INPUT_FOCUS_PARENT, xcb_window_t(focus->winId()),
                            XCB_CURRENT_TIME);
        xcb_flush(x11->connection());
    }
}

// The window manager hands the focus on when a window it manages goes (an application being
// iconified behind the shield, some time after the shield went up), and may give it to another of
// our windows or to an application's; a shield window mapped a moment ago may take it when its map
// completes. The shield takes it back: only the window holding the prompt may have it, or, with no
// prompt open, any of the shield's windows.
void ShieldWindows::focusChanged(QWindow* focus)
{
    const auto allowed = [this](QWindow* window) {
        if (!window || !window->isVisible())
            return false;
        if (ShieldWindow* holder = promptWindow())
            return window == holder;
        return std::any_of(m_windows.cbegin(), m_windows.cend(),
                           [window](const auto& shield) { return shield.get() == window; });
    };
    if (!m_shown || m_refocusQueued || allowed(focus))
        return;
    // Queued: focus changes arrive in pairs (out, then in), and only where it ends up counts.
    m_refocusQueued = true;
    QTimer::singleShot(0, m_context.get(), [this, allowed] {
        m_refocusQueued = false;
        if (m_shown && !allowed(QGuiApplication::focusWindow()))
            activateWindows();
    });
}

void ShieldWindows::screenAdded(QScreen* screen)
{
    if (!m_shown)
        return;
    cover({screen});
    activateWindows();
}

void ShieldWindows::screenRemoved(QScreen* screen)
{
    const qsizetype index = m_screens.indexOf(screen);
    if (index < 0)
        return;
    m_screens.removeAt(index);
    retire(std::move(m_windows[size_t(index)]));
    m_windows.erase(m_windows.begin() + index);
    if (m_windows.empty())
        m_shown = false;
    // The keyboard grab may have gone with the window that held it.
    activateWindows();
}
