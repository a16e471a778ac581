#include "WlrWorkspace.h"

#include "platform/wayland/WaylandConnection.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace {
constexpr uint32_t ManagerVersion = 3;
} // namespace

struct WlrWorkspace::Listeners
{
    static WlrWorkspace* self(void* data) { return static_cast<WlrWorkspace*>(data); }

    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                         zwlr_foreign_toplevel_handle_v1* handle)
    {
        self(data)->m_handles.insert(handle, Handle{});
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &Listeners::handle, data);
    }
    static void finished(void* data, zwlr_foreign_toplevel_manager_v1* manager)
    {
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
        self(data)->m_manager = nullptr;
    }

    static void title(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
    static void appId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* id)
    {
        self(data)->m_handles[handle].appId = QString::fromUtf8(id);
    }
    static void output(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void state(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states)
    {
        bool active = false;
        const auto* values = static_cast<const uint32_t*>(states->data);
        for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i)
            active = active || values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        self(data)->m_handles[handle].active = active;
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1* handle) { self(data)->handleDone(handle); }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1* handle)
    {
        self(data)->handleClosed(handle);
    }
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

    static constexpr zwlr_foreign_toplevel_manager_v1_listener manager{toplevel, finished};
    static constexpr zwlr_foreign_toplevel_handle_v1_listener handle{title, appId, output, output,
                                                                     state, done,  closed, parent};
};

WlrWorkspace::WlrWorkspace(WaylandConnection& connection, QObject* parent)
    : ToplevelWorkspace(parent)
    , m_connection(connection)
{
    m_manager = connection.bind<zwlr_foreign_toplevel_manager_v1>(&zwlr_foreign_toplevel_manager_v1_interface,
                                                                  ManagerVersion);
    if (!m_manager)
        return;
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &Listeners::manager, this);
    connect(&connection, &WaylandConnection::lost, this, [this] {
        m_handles.clear();
        closeAll();
    });
    // The windows open now, before anyone asks.
    connection.roundtrip();
    adoptWindows();
}

WlrWorkspace::~WlrWorkspace()
{
    if (!m_connection.isConnected())
        return;
    for (auto it = m_handles.cbegin(); it != m_handles.cend(); ++it)
        zwlr_foreign_toplevel_handle_v1_destroy(it.key());
    if (m_manager)
        zwlr_foreign_toplevel_manager_v1_stop(m_manager);
    m_connection.flush();
}

bool WlrWorkspace::isOffered(const WaylandConnection& connection)
{
    return connection.offeredVersion(zwlr_foreign_toplevel_manager_v1_interface.name) > 0;
}

bool WlrWorkspace::isSupported() const
{
    return m_manager != nullptr && m_connection.isConnected();
}

void WlrWorkspace::handleDone(zwlr_foreign_toplevel_handle_v1* handle)
{
    const Handle& state = m_handles[handle];
    windowChanged(handle, state.appId, 0, state.active);
}

void WlrWorkspace::handleClosed(zwlr_foreign_toplevel_handle_v1* handle)
{
    m_handles.remove(handle);
    windowClosed(handle);
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
}

zwlr_foreign_toplevel_handle_v1* WlrWorkspace::handle(Window window)
{
    return static_cast<zwlr_foreign_toplevel_handle_v1*>(const_cast<void*>(window));
}

void WlrWorkspace::minimize(Window window)
{
    zwlr_foreign_toplevel_handle_v1_set_minimized(handle(window));
    // Requests leave at once, not when the event loop next waits: the engine acts on them.
    m_connection.flush();
}

void WlrWorkspace::unminimize(Window window)
{
    zwlr_foreign_toplevel_handle_v1_unset_minimized(handle(window));
    m_connection.flush();
}

void WlrWorkspace::activateWindow(Window window)
{
    if (wl_seat* seat = m_connection.seat())
        zwlr_foreign_toplevel_handle_v1_activate(handle(window), seat);
    m_connection.flush();
}
