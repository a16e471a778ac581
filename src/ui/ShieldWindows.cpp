#include "ShieldWindows.h"

#include "ImageBlur.h"
#include "ScreenGrabber.h"
#include "ShieldWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <xcb/xcb.h>

namespace {
// Another client (the window manager in the middle of a switch) may hold the keyboard for a
// moment; the grab is tried again this often, for up to two seconds.
const int GrabRetryMs = 100;
const int MaxGrabRetries = 20;
} // namespace

// The grabber asks the X server about picture formats once, here rather than on the first shield.
ShieldWindows::ShieldWindows()
    : m_grabber(std::make_unique<ScreenGrabber>())
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
    // No signal may reach a half-destroyed display.
    m_context.reset();
}

ShieldWindow& ShieldWindows::addWindow(QScreen* screen)
{
    m_windows.push_back(std::make_unique<ShieldWindow>(screen, *m_model));
    m_screens.append(screen);
    ShieldWindow* window = m_windows.back().get();
    // The window manager gives no focus to unmanaged windows: a click on the shield takes it.
    QObject::connect(window, &ShieldWindow::pressed, m_context.get(),
                     [this, window] { takeKeyboard(window); });
    return *window;
}

void ShieldWindows::rebuildFor(const QList<QScreen*>& screens, ShieldModel& model)
{
    m_windows.clear();
    m_screens.clear();
    m_model = &model;
    for (QScreen* screen : screens)
        addWindow(screen);
}

void ShieldWindows::cover(ShieldWindow& window, QScreen* screen)
{
    // Taken before our own window covers the screen: the backdrop shows the desktop as it was.
    window.setBackdrop(ImageBlur::backdrop(m_grabber->grabShrunk(screen, ImageBlur::BackdropShrink)));
    window.cover();
}

int ShieldWindows::showWindows(ShieldModel& model)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    bool same = m_model == &model && screens.size() == m_screens.size();
    for (qsizetype i = 0; same && i < screens.size(); ++i)
        same = screens[i] == m_screens[i];
    if (!same)
        rebuildFor(screens, model);

    for (size_t i = 0; i < m_windows.size(); ++i)
        cover(*m_windows[i], screens[qsizetype(i)]);
    m_shown = !m_windows.empty();
    m_grabRetries = 0;
    activateWindows();
    return int(m_windows.size());
}

void ShieldWindows::hideWindows()
{
    m_shown = false;
    if (!m_windows.empty() && m_windows.front()->isVisible())
        m_windows.front()->releaseKeyboard();
    for (const auto& window : m_windows)
        window->hide();
}

void ShieldWindows::activateWindows()
{
    if (!m_windows.empty())
        takeKeyboard(m_windows.front().get());
}

void ShieldWindows::takeKeyboard(QWindow* preferred)
{
    if (!m_shown)
        return;
    for (const auto& window : m_windows)
        window->raise();
    if (!m_windows.front()->grabKeyboard() && m_grabRetries < MaxGrabRetries) {
        ++m_grabRetries;
        QTimer::singleShot(GrabRetryMs, m_context.get(), [this] { activateWindows(); });
    }
    // The prompt, when open over the shield, keeps the keyboard focus; the grab only makes sure
    // no other application gets it.
    QWindow* focus = preferred;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        const bool ours = std::any_of(m_windows.cbegin(), m_windows.cend(),
                                      [window](const auto& shield) { return shield.get() == window; });
        if (!ours && window->isVisible() && window->flags().testFlag(Qt::BypassWindowManagerHint)) {
            window->raise();
            focus = window;
        }
    }
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
// our windows or to an application's: the shield takes it back. Only our unmanaged windows (the
// shield and the prompt over it) may hold it.
void ShieldWindows::focusChanged(QWindow* focus)
{
    if (!m_shown || m_refocusQueued ||
        (focus && focus->isVisible() && focus->flags().testFlag(Qt::BypassWindowManagerHint)))
        return;
    // Queued: focus changes arrive in pairs (out, then in), and only where it ends up counts.
    m_refocusQueued = true;
    QTimer::singleShot(0, m_context.get(), [this] {
        m_refocusQueued = false;
        QWindow* now = QGuiApplication::focusWindow();
        if (m_shown && !(now && now->isVisible() && now->flags().testFlag(Qt::BypassWindowManagerHint)))
            activateWindows();
    });
}

void ShieldWindows::screenAdded(QScreen* screen)
{
    if (!m_model)
        return;
    ShieldWindow& window = addWindow(screen);
    if (m_shown) {
        cover(window, screen);
        activateWindows();
    }
}

void ShieldWindows::screenRemoved(QScreen* screen)
{
    const qsizetype index = m_screens.indexOf(screen);
    if (index < 0)
        return;
    m_screens.removeAt(index);
    m_windows.erase(m_windows.begin() + index);
    if (m_windows.empty())
        m_shown = false;
}
