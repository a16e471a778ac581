#pragma once

#include "apps/Workspace.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/linux/X11WindowResolver.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <deque>
#include <memory>
#include <optional>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

class QSocketNotifier;
class QTimer;

// The running applications of an X11 session, on a connection of its own (not Qt's): the top-level
// client windows of _NET_CLIENT_LIST grouped by the desktop-file ID each resolves to
// (X11WindowResolver), and _NET_ACTIVE_WINDOW for activation. The connection is watched by a
// QSocketNotifier, so the events are handled, and the signals emitted, on the creating (main) thread
// in the order the X server sent them.
//
// An application launches when its first window enters the client list and terminates when its last
// one leaves; an active application that terminates is not also reported as deactivated. Focus
// moving between windows of one application, or to a window of no application, reports nothing, or
// only the half that concerns an application. Focus going to no window at all deactivates only once
// it has stayed there for a fifth of a second: window managers pass through "none" on every switch.
// Hiding the active application deactivates it at once. Hidden means until unhide() or activate():
// a window the application opens meanwhile is hidden too. A window whose WM_CLASS (or application
// property) changes is resolved again, and moves to the application it now belongs to.
//
// If the X connection breaks, nothing more is reported and every action does nothing.
class X11Workspace : public Workspace
{
    Q_OBJECT

public:
    // Connects to $DISPLAY.
    explicit X11Workspace(QObject* parent = nullptr);
    // Connects to the display named like ":1"; empty means $DISPLAY.
    explicit X11Workspace(const QByteArray& displayName, QObject* parent = nullptr);
    ~X11Workspace() override;

    X11Workspace(const X11Workspace&) = delete;
    X11Workspace& operator=(const X11Workspace&) = delete;

    bool isSupported() const override;
    QStringList runningApplications() const override;
    void hide(const QString& bundleID) override;
    void unhide(const QString& bundleID) override;
    void activate(const QString& bundleID) override;
    QImage icon(const QString& bundleID) const override;

private:
    struct Application
    {
        QString id;
        QList<xcb_window_t> windows; // in the order they appeared
        xcb_window_t lastActive = XCB_WINDOW_NONE;
        bool hidden = false; // by hide(), until unhide() or activate()
    };
    struct EventFree
    {
        void operator()(xcb_generic_event_t* event) const;
    };
    using Event = std::unique_ptr<xcb_generic_event_t, EventFree>;

    bool connected() const;
    void processEvents();
    Event nextEvent();
    void handle(const xcb_generic_event_t* event);
    void updateClientList();
    void joinApplication(xcb_window_t window, const QString& id);
    void leaveApplication(xcb_window_t window, const QString& id);
    void resolveAgain(xcb_window_t window);
    void updateActiveWindow();
    void followActiveWindow();
    void setActiveApplication(const QString& id);
    void scheduleProcessing() const;
    bool checkConnection();

    std::optional<QList<xcb_window_t>> readWindowList(xcb_atom_t property);
    void iconify(xcb_window_t window);
    Application* application(const QString& id);
    const Application* application(const QString& id) const;
    xcb_timestamp_t serverTime();
    QImage windowIcon(xcb_window_t window) const;

    xcb_connection_t* m_connection = nullptr;
    int m_screenNumber = 0;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_window_t m_timeWindow = XCB_WINDOW_NONE; // own unmapped window for reading the server time
    xcb_ewmh_connection_t m_ewmh{};
    bool m_ewmhReady = false;
    xcb_atom_t m_changeStateAtom = XCB_ATOM_NONE;
    xcb_atom_t m_timeProbeAtom = XCB_ATOM_NONE;
    QSocketNotifier* m_notifier = nullptr;
    bool m_broken = false;
    mutable bool m_processingScheduled = false;

    DesktopEntryIndex m_index;
    std::optional<X11WindowResolver> m_resolver;
    QList<xcb_atom_t> m_identityAtoms; // window properties that tell its application

    QList<xcb_window_t> m_clientList;         // as last read
    QHash<xcb_window_t, QString> m_windowIds; // every listed window's ID, empty for none
    QList<Application> m_applications;        // in the order they launched
    xcb_window_t m_activeWindow = XCB_WINDOW_NONE;
    QString m_activeApplication;
    QTimer* m_focusSettle =
        nullptr; // runs while no window is active and an application still counts as active

    std::deque<Event> m_backlog; // read while waiting for a reply, not handled yet
};
