#include "PlasmaWorkspace.h"

#include "plasma-window-management-client-protocol.h"
#include "platform/wayland/WaylandConnection.h"

namespace {
// 13 announces windows by UUID; 4 has initial_state and destroy.
constexpr uint32_t ManagementVersion = 16;
constexpr uint32_t UuidVersion = 13;
constexpr uint32_t MinimumVersion = 4;
} // namespace

struct PlasmaWorkspace::Listeners
{
    static PlasmaWorkspace* self(void* data) { return static_cast<PlasmaWorkspace*>(data); }

    static void showDesktop(void*, org_kde_plasma_window_management*, uint32_t) {}
    static void window(void* data, org_kde_plasma_window_management* management, uint32_t id)
    {
        if (self(data)->m_version < UuidVersion)
            self(data)->add(org_kde_plasma_window_management_get_window(management, id));
    }
    static void stacking(void*, org_kde_plasma_window_management*, wl_array*) {}
    static void stackingUuid(void*, org_kde_plasma_window_management*, const char*) {}
    static void windowWithUuid(void* data, org_kde_plasma_window_management* management, uint32_t,
                               const char* uuid)
    {
        self(data)->add(org_kde_plasma_window_management_get_window_by_uuid(management, uuid));
    }

    static void ignoreText(void*, org_kde_plasma_window*, const char*) {}
    static void ignoreInt(void*, org_kde_plasma_window*, int32_t) {}
    static void ignore(void*, org_kde_plasma_window*) {}
    static void appId(void* data, org_kde_plasma_window* window, const char* id)
    {
        self(data)->m_windows[window].appId = QString::fromUtf8(id);
        self(data)->update(window);
    }
    static void state(void* data, org_kde_plasma_window* window, uint32_t flags)
    {
        self(data)->m_windows[window].state = flags;
        self(data)->update(window);
    }
    static void unmapped(void* data, org_kde_plasma_window* window) { self(data)->remove(window); }
    static void initialState(void* data, org_kde_plasma_window* window)
    {
        self(data)->m_windows[window].ready = true;
        self(data)->update(window);
    }
    static void parentWindow(void*, org_kde_plasma_window*, org_kde_plasma_window*) {}
    static void geometry(void*, org_kde_plasma_window*, int32_t, int32_t, uint32_t, uint32_t) {}
    static void pid(void* data, org_kde_plasma_window* window, uint32_t pid)
    {
        self(data)->m_windows[window].pid = pid;
        self(data)->update(window);
    }
    static void applicationMenu(void*, org_kde_plasma_window*, const char*, const char*) {}

    static constexpr org_kde_plasma_window_management_listener management{showDesktop, window, stacking,
                                                                          stackingUuid, windowWithUuid};
    static constexpr org_kde_plasma_window_listener plasmaWindow{
        ignoreText,   appId,           state,      ignoreInt,  ignoreText, unmapped,
        initialState, parentWindow,    geometry,   ignore,     pid,        ignoreText,
        ignoreText,   applicationMenu, ignoreText, ignoreText, ignoreText};
};

PlasmaWorkspace::PlasmaWorkspace(WaylandConnection& connection, QObject* parent)
    : ToplevelWorkspace(parent)
    , m_connection(connection)
{
    if (connection.offeredVersion(org_kde_plasma_window_management_interface.name) < MinimumVersion)
        return;
    m_management = connection.bind<org_kde_plasma_window_management>(
        &org_kde_plasma_window_management_interface, ManagementVersion, &m_version);
    if (!m_management)
        return;
    org_kde_plasma_window_management_add_listener(m_management, &Listeners::management, this);
    connect(&connection, &WaylandConnection::lost, this, [this] {
        m_windows.clear();
        closeAll();
    });
    // The windows open now and their initial states, before anyone asks.
    connection.roundtrip();
    connection.roundtrip();
    adoptWindows();
}

PlasmaWorkspace::~PlasmaWorkspace()
{
    if (!m_connection.isConnected())
        return;
    for (auto it = m_windows.cbegin(); it != m_windows.cend(); ++it)
        org_kde_plasma_window_destroy(it.key());
    if (m_management)
        org_kde_plasma_window_management_destroy(m_management);
    m_connection.flush();
}

bool PlasmaWorkspace::isOffered(const WaylandConnection& connection)
{
    return connection.offeredVersion(org_kde_plasma_window_management_interface.name) >= MinimumVersion;
}

bool PlasmaWorkspace::isSupported() const
{
    return m_management != nullptr && m_connection.isConnected();
}

void PlasmaWorkspace::add(org_kde_plasma_window* window)
{
    m_windows.insert(window, PlasmaWindow{});
    org_kde_plasma_window_add_listener(window, &Listeners::plasmaWindow, this);
}

// A window counts once its initial state is complete; after that every change counts at once.
void PlasmaWorkspace::update(org_kde_plasma_window* window)
{
    const PlasmaWindow& state = m_windows[window];
    if (state.ready)
        windowChanged(window, state.appId, state.pid,
                      state.state & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
}

void PlasmaWorkspace::remove(org_kde_plasma_window* window)
{
    m_windows.remove(window);
    windowClosed(window);
    org_kde_plasma_window_destroy(window);
}

org_kde_plasma_window* PlasmaWorkspace::plasmaWindow(Window window)
{
    return static_cast<org_kde_plasma_window*>(const_cast<void*>(window));
}

void PlasmaWorkspace::minimize(Window window)
{
    org_kde_plasma_window_set_state(plasmaWindow(window), ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED,
                                    ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED);
    // Requests leave at once, not when the event loop next waits: the engine acts on them.
    m_connection.flush();
}

void PlasmaWorkspace::unminimize(Window window)
{
    org_kde_plasma_window_set_state(plasmaWindow(window), ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED,
                                    0);
    m_connection.flush();
}

void PlasmaWorkspace::activateWindow(Window window)
{
    org_kde_plasma_window_set_state(plasmaWindow(window), ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE,
                                    ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
    m_connection.flush();
}
