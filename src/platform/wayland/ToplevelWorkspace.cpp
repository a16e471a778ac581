#include "ToplevelWorkspace.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {
// Compositors pass through "no window active" on some switches; only a longer stay counts.
constexpr int NoneSettleMs = 200;
} // namespace

ToplevelWorkspace::ToplevelWorkspace(QObject* parent)
    : Workspace(parent)
    , m_resolver(nullptr, {}, m_index)
    , m_settle(new QTimer(this))
    , m_noneSettle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(0);
    connect(m_settle, &QTimer::timeout, this, &ToplevelWorkspace::settleActivation);
    m_noneSettle->setSingleShot(true);
    m_noneSettle->setInterval(NoneSettleMs);
    connect(m_noneSettle, &QTimer::timeout, this, [this] { setActiveApplication(QString()); });
}

ToplevelWorkspace::~ToplevelWorkspace() = default;

QStringList ToplevelWorkspace::runningApplications() const
{
    QStringList ids;
    for (const Application& application : m_applications)
        ids << application.id;
    return ids;
}

QString ToplevelWorkspace::resolve(const QString& appId, quint32 pid) const
{
    if (appId.isEmpty() && pid == 0)
        return {};
    X11WindowResolver::Facts facts;
    // The app_id is the desktop-file ID by convention; toolkits that set it to a program or class
    // name are matched like an X11 class would be.
    facts.kdeDesktopFile = appId;
    facts.wmInstance = appId;
    facts.wmClass = appId;
    facts.pid = pid;
    return m_resolver.resolve(facts);
}

void ToplevelWorkspace::windowChanged(Window window, const QString& appId, quint32 pid, bool active)
{
    auto found = m_windows.find(window);
    if (found == m_windows.end())
        found = m_windows.insert(window, WindowState{});
    WindowState& state = *found;
    if (state.appId != appId || state.pid != pid || state.id.isEmpty()) {
        state.appId = appId;
        state.pid = pid;
        const QString id = resolve(appId, pid);
        if (id != state.id) {
            const QString previous = state.id;
            state.id = id;
            if (!previous.isEmpty())
                leave(window, previous);
            if (!id.isEmpty())
                join(window, id);
        }
    }
    const bool activated = active && !state.active;
    if (activated)
        state.activatedSinceHidden = true;
    state.active = active;
    if (active)
        if (Application* app = application(state.id))
            app->lastActive = window;
    // Reported at once: a compositor may send a window's activation and its loss in one batch (sway
    // tells of the window given back the keyboard only when another takes it), and an application
    // that was in front must be seen leaving it.
    if (activated && !state.id.isEmpty())
        setActiveApplication(state.id);
    m_settle->start();
    emitLater();
}

void ToplevelWorkspace::windowClosed(Window window)
{
    const auto found = m_windows.constFind(window);
    if (found == m_windows.cend())
        return;
    const QString id = found->id;
    m_windows.erase(found);
    if (!id.isEmpty())
        leave(window, id);
    m_settle->start();
    emitLater();
}

void ToplevelWorkspace::closeAll()
{
    const QList<Window> windows = m_windows.keys();
    for (Window window : windows)
        windowClosed(window);
}

void ToplevelWorkspace::adoptWindows()
{
    m_settle->stop();
    settleActivation();
    m_noneSettle->stop();
    clearQueuedChanges();
}

void ToplevelWorkspace::join(Window window, const QString& id)
{
    Application* app = application(id);
    if (!app) {
        m_applications.append(Application{id, {}, nullptr, false});
        app = &m_applications.last();
        queueChange(Change::launched, id);
    }
    app->windows.append(window);
    // A hidden application stays hidden, new windows included.
    if (app->hidden)
        minimize(window);
}

void ToplevelWorkspace::leave(Window window, const QString& id)
{
    Application* app = application(id);
    if (!app)
        return;
    app->windows.removeOne(window);
    if (app->lastActive == window)
        app->lastActive = nullptr;
    if (!app->windows.isEmpty())
        return;
    m_applications.removeIf([&id](const Application& application) { return application.id == id; });
    if (m_activeApplication == id)
        m_activeApplication.clear();
    queueChange(Change::terminated, id);
}

void ToplevelWorkspace::settleActivation()
{
    const auto active = std::find_if(m_windows.cbegin(), m_windows.cend(), [this](const WindowState& state) {
        const Application* app = application(state.id);
        return state.active && (!app || !app->hidden || state.activatedSinceHidden);
    });
    if (active == m_windows.cend()) {
        if (!m_activeApplication.isEmpty() && !m_noneSettle->isActive())
            m_noneSettle->start();
        return;
    }
    m_noneSettle->stop();
    // A window of no known application in front: the one before it is no longer.
    setActiveApplication(active->id);
}

void ToplevelWorkspace::setActiveApplication(const QString& id)
{
    if (id == m_activeApplication)
        return;
    if (!m_activeApplication.isEmpty())
        queueChange(Change::deactivated, m_activeApplication);
    m_activeApplication = id;
    if (!id.isEmpty())
        queueChange(Change::activated, id);
    emitLater();
}

// Signals go out from the event loop, never from inside the compositor's event dispatch or a call
// of the engine, in the order the changes happened.
void ToplevelWorkspace::emitLater()
{
    if (m_emitQueued || !hasQueuedChanges())
        return;
    m_emitQueued = true;
    QTimer::singleShot(0, this, &ToplevelWorkspace::emitPending);
}

void ToplevelWorkspace::emitPending()
{
    m_emitQueued = false;
    emitQueuedChanges();
}

void ToplevelWorkspace::hide(const QString& bundleID)
{
    Application* app = application(bundleID);
    if (!app || !isSupported())
        return;
    app->hidden = true;
    for (Window window : std::as_const(app->windows)) {
        m_windows[window].activatedSinceHidden = false;
        minimize(window);
    }
    // No longer in front, whatever the compositor reports next; brought forward again, even at once,
    // it is activated anew.
    if (m_activeApplication == bundleID)
        setActiveApplication(QString());
}

void ToplevelWorkspace::unhide(const QString& bundleID)
{
    Application* app = application(bundleID);
    if (!app || !isSupported())
        return;
    app->hidden = false;
    for (Window window : std::as_const(app->windows))
        unminimize(window);
    // A window the compositor kept active while hidden is in front again without a new report.
    m_settle->start();
}

void ToplevelWorkspace::activate(const QString& bundleID)
{
    Application* app = application(bundleID);
    if (!app || !isSupported() || app->windows.isEmpty())
        return;
    if (app->hidden)
        unhide(bundleID);
    activateWindow(app->lastActive ? app->lastActive : app->windows.last());
}

QImage ToplevelWorkspace::icon(const QString& bundleID) const
{
    if (const DesktopEntryIndex::Entry* entry = m_index.find(bundleID))
        return m_index.iconNamed(entry->icon);
    return {};
}

ToplevelWorkspace::Application* ToplevelWorkspace::application(const QString& id)
{
    const auto found = std::find_if(m_applications.begin(), m_applications.end(),
                                    [&id](const Application& app) { return app.id == id; });
    return found == m_applications.end() ? nullptr : &*found;
}

const ToplevelWorkspace::Application* ToplevelWorkspace::application(const QString& id) const
{
    return const_cast<ToplevelWorkspace*>(this)->application(id);
}
