#include "ShieldWindows.h"

#include "ImageBlur.h"
#include "ScreenGrabber.h"
#include "ShieldWindow.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

// The grabber asks the X server about picture formats once, here rather than on the first shield.
ShieldWindows::ShieldWindows()
    : m_grabber(std::make_unique<ScreenGrabber>())
{}
ShieldWindows::~ShieldWindows() = default;

void ShieldWindows::rebuildFor(const QList<QScreen*>& screens, ShieldModel& model)
{
    m_windows.clear();
    m_screens.clear();
    m_model = &model;
    for (QScreen* screen : screens) {
        m_windows.push_back(std::make_unique<ShieldWindow>(screen, model));
        m_screens.append(screen);
    }
}

int ShieldWindows::showWindows(ShieldModel& model)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    bool same = m_model == &model && screens.size() == m_screens.size();
    for (qsizetype i = 0; same && i < screens.size(); ++i)
        same = screens[i] == m_screens[i];
    if (!same)
        rebuildFor(screens, model);

    for (size_t i = 0; i < m_windows.size(); ++i) {
        // Taken before our own window covers the screen: the backdrop shows the desktop as it was.
        m_windows[i]->setBackdrop(
            ImageBlur::backdrop(m_grabber->grabShrunk(screens[qsizetype(i)], ImageBlur::BackdropShrink)));
        m_windows[i]->cover();
    }
    activateWindows();
    return int(m_windows.size());
}

void ShieldWindows::hideWindows()
{
    if (!m_windows.empty() && m_windows.front()->isVisible())
        m_windows.front()->releaseKeyboard();
    for (const auto& window : m_windows)
        window->hide();
}

void ShieldWindows::activateWindows()
{
    if (m_windows.empty() || !m_windows.front()->isVisible())
        return;
    for (const auto& window : m_windows)
        window->raise();
    m_windows.front()->grabKeyboard();
    // The prompt, when open over the shield, keeps the keyboard focus; the grab only makes sure
    // no other application gets it.
    QWindow* focus = m_windows.front().get();
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        const bool ours = std::any_of(m_windows.cbegin(), m_windows.cend(),
                                      [window](const auto& shield) { return shield.get() == window; });
        if (!ours && window->isVisible() && window->flags().testFlag(Qt::BypassWindowManagerHint)) {
            window->raise();
            focus = window;
        }
    }
    focus->requestActivate();
}
