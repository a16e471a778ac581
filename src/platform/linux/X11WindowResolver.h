#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <xcb/xcb.h>

class DesktopEntryIndex;

// Tells which application (desktop-file ID) a top-level client window belongs to. The first rule
// that gives an installed ID wins:
//   - the window belongs to this process: QGuiApplication::desktopFileName();
//   - _GTK_APPLICATION_ID, then _KDE_NET_WM_DESKTOP_FILE;
//   - the Flatpak application (/proc/PID/root/.flatpak-info) or the snap (/proc/PID/cgroup);
//   - GIO_LAUNCHED_DESKTOP_FILE in the process environment, when GIO_LAUNCHED_DESKTOP_FILE_PID says
//     the variable was set for this very process and not inherited from the one that launched it;
//   - an entry whose StartupWMClass is the WM_CLASS instance, then class;
//   - an entry whose ID is the WM_CLASS instance, then class, ignoring case;
//   - an entry whose TryExec or Exec names the process's executable (/proc/PID/exe), or the
//     AppImage the process runs from ($APPIMAGE).
// An ID named by a window property or Flatpak that no installed entry has is still better than
// nothing, so it is the answer when no later rule finds an installed one. The process rules apply
// only to windows of this machine (WM_CLIENT_MACHINE), PID from _NET_WM_PID.
class X11WindowResolver
{
public:
    struct Atoms
    {
        xcb_atom_t gtkApplicationId = XCB_ATOM_NONE;
        xcb_atom_t kdeDesktopFile = XCB_ATOM_NONE;
        xcb_atom_t netWmPid = XCB_ATOM_NONE;
    };

    // What a window says about itself.
    struct Facts
    {
        QString gtkApplicationId;
        QString kdeDesktopFile;
        QString wmInstance;
        QString wmClass;
        quint32 pid = 0; // 0: unknown
        bool local = true;
    };

    X11WindowResolver(xcb_connection_t* connection, const Atoms& atoms, DesktopEntryIndex& index);

    // The ID of each window, empty where there is none; the properties of all windows are read in
    // one round trip.
    QStringList resolve(const QList<xcb_window_t>& windows);
    QString resolve(const Facts& facts) const;

private:
    QString flatpakApplication(quint32 pid) const;
    QStringList snapCandidates(quint32 pid, const QByteArray& environment) const;
    QString launchedDesktopFile(quint32 pid, const QByteArray& environment) const;
    static QString executableOf(quint32 pid);

    xcb_connection_t* m_connection;
    Atoms m_atoms;
    DesktopEntryIndex& m_index;
    QByteArray m_hostName;
};
