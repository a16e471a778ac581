#pragma once

#include "platform/wayland/ToplevelWorkspace.h"

#include <QHash>

class WaylandConnection;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

// The running applications of a wlroots compositor (sway, Hyprland, labwc, river, Wayfire…), over
// zwlr_foreign_toplevel_manager_v1: every toplevel with its app_id and activated state. Hiding asks
// the compositor to minimize; some (sway) have no minimized state and ignore it, which leaves the
// shield covering every output with the keyboard as the protection.
class WlrWorkspace : public ToplevelWorkspace
{
    Q_OBJECT

public:
    // Binds the manager on `connection`; unsupported when the compositor does not offer it.
    explicit WlrWorkspace(WaylandConnection& connection, QObject* parent = nullptr);
    ~WlrWorkspace() override;

    static bool isOffered(const WaylandConnection& connection);
    bool isSupported() const override;

protected:
    void minimize(Window window) override;
    void unminimize(Window window) override;
    void activateWindow(Window window) override;

private:
    struct Listeners;
    friend struct Listeners;
    struct Handle
    {
        QString appId;
        bool active = false;
    };

    void handleDone(zwlr_foreign_toplevel_handle_v1* handle);
    void handleClosed(zwlr_foreign_toplevel_handle_v1* handle);
    static zwlr_foreign_toplevel_handle_v1* handle(Window window);

    WaylandConnection& m_connection;
    zwlr_foreign_toplevel_manager_v1* m_manager = nullptr;
    // What each handle said so far; its done event makes it count.
    QHash<zwlr_foreign_toplevel_handle_v1*, Handle> m_handles;
};
