#pragma once

#include "apps/Workspace.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "platform/linux/X11WindowResolver.h"

#include <QHash>
#include <QList>
#include <QString>

class QTimer;

// The running applications of a Wayland session, from what a compositor tells about its toplevel
// windows: each window's app_id (its desktop-file ID, resolved like an X11 window's class and, where
// the compositor gives it, its process), whether it has the keyboard, and when it goes. The protocol
// of each compositor family lives in a subclass; this class turns windows into applications.
//
// An application launches with its first window and terminates with its last; an active application
// that terminates is not also reported as deactivated. Activation is settled once the compositor's
// batch of events has been handled, so a switch from one window to another never reports the
// application in between as deactivated, and an activation is reported even when the compositor
// takes it back in the same batch; focus on no window at all (a layer surface, say)
// deactivates once it has stayed there for a fifth of a second. Hiding the active application
// deactivates it at once. Hidden means until unhide() or activate(): a window the application
// opens meanwhile is hidden too.
class ToplevelWorkspace : public Workspace
{
    Q_OBJECT

public:
    explicit ToplevelWorkspace(QObject* parent = nullptr);
    ~ToplevelWorkspace() override;

    QStringList runningApplications() const override;
    void hide(const QString& bundleID) override;
    void unhide(const QString& bundleID) override;
    void activate(const QString& bundleID) override;
    QImage icon(const QString& bundleID) const override;

protected:
    // A window as the subclass knows it: an opaque key (its protocol object), never reused while
    // the window is listed.
    using Window = const void*;

    // A window's facts, whenever they change (the first call lists it). An empty app_id is a window
    // of no known application until it names one.
    void windowChanged(Window window, const QString& appId, quint32 pid, bool active);
    void windowClosed(Window window);
    // The compositor is gone: every application terminates.
    void closeAll();
    // The windows open when the workspace was made are running, not launched, and the one in front
    // is active without being reported as activated.
    void adoptWindows();

    virtual void minimize(Window window) = 0;
    virtual void unminimize(Window window) = 0;
    virtual void activateWindow(Window window) = 0;

private:
    struct Application
    {
        QString id;
        QList<Window> windows; // in the order they appeared
        Window lastActive = nullptr;
        bool hidden = false;
    };
    struct WindowState
    {
        QString appId;
        quint32 pid = 0;
        QString id; // the application it belongs to; empty for none
        bool active = false;
        // Reported active since its application was hidden: brought to the front anew. Compositors
        // without a minimized state leave a hidden window active; that alone does not count.
        bool activatedSinceHidden = false;
    };
    QString resolve(const QString& appId, quint32 pid) const;
    void join(Window window, const QString& id);
    void leave(Window window, const QString& id);
    void settleActivation();
    void setActiveApplication(const QString& id);
    void emitLater();
    void emitPending();
    Application* application(const QString& id);
    const Application* application(const QString& id) const;

    DesktopEntryIndex m_index;
    X11WindowResolver m_resolver;
    QHash<Window, WindowState> m_windows;
    QList<Application> m_applications; // in the order they launched
    QString m_activeApplication;
    QTimer* m_settle = nullptr; // activation settles when the compositor's batch is handled
    QTimer* m_noneSettle =
        nullptr; // runs while no window is active and an application still counts as active
    bool m_emitQueued = false;
};
