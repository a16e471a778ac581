#pragma once

#include "platform/wayland/ToplevelWorkspace.h"

#include <QHash>

class WaylandConnection;
struct org_kde_plasma_window;
struct org_kde_plasma_window_management;

// The running applications of KDE Plasma's KWin, over org_kde_plasma_window_management: every window
// with its app_id, process and state, minimized and activated through set_state. KWin offers the
// interface only to programs whose desktop entry asks for it (X-KDE-Wayland-Interfaces) and whose
// executable it can read when they connect, so the connection must be made before the process
// makes itself undumpable.
class PlasmaWorkspace : public ToplevelWorkspace
{
    Q_OBJECT

public:
    explicit PlasmaWorkspace(WaylandConnection& connection, QObject* parent = nullptr);
    ~PlasmaWorkspace() override;

    static bool isOffered(const WaylandConnection& connection);
    bool isSupported() const override;

protected:
    void minimize(Window window) override;
    void unminimize(Window window) override;
    void activateWindow(Window window) override;

private:
    struct Listeners;
    friend struct Listeners;
    struct PlasmaWindow
    {
        QString appId;
        quint32 pid = 0;
        uint32_t state = 0;
        bool ready = false; // its initial state has arrived
    };

    void add(org_kde_plasma_window* window);
    void update(org_kde_plasma_window* window);
    void remove(org_kde_plasma_window* window);
    static org_kde_plasma_window* plasmaWindow(Window window);

    WaylandConnection& m_connection;
    org_kde_plasma_window_management* m_management = nullptr;
    uint32_t m_version = 0;
    QHash<org_kde_plasma_window*, PlasmaWindow> m_windows;
};
