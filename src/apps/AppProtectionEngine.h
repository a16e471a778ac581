#pragma once

#include "VeilmarkBuild.h"
#include "model/ProtectedApp.h"

#include <QObject>
#include <QSet>
#include <QString>

class AuthenticationService;
class EventLog;
class InstalledApps;
class OverlayManager;
class PolicyStore;
class SessionManager;
class Workspace;

// Keeps protected applications out of reach until the user authenticates: a protected
// application that is launched or brought to the front while locked is hidden behind the
// shield, and unhidden only after a successful prompt. On disk, a locked application's desktop
// entry is unreadable to the user, so it cannot be started from the menus behind Veilmark's back.
class AppProtectionEngine : public QObject
{
    Q_OBJECT

public:
    static inline const QString OwnBundleID = QStringLiteral(VEILMARK_APP_ID);

    AppProtectionEngine(PolicyStore& policy, AuthenticationService& auth, SessionManager& sessions,
                        OverlayManager& overlay, EventLog& log, Workspace& workspace,
                        InstalledApps& installed, QObject* parent = nullptr);

    void start();
    // Protects the desktop entries at `paths`, in order, each locked at once; Veilmark itself,
    // unreadable entries and entries already protected are skipped. Returns how many were added.
    int addApps(const QStringList& paths);
    // Takes the lock off the entry, forgets the unlock, drops the record and logs it.
    void removeProtection(const ProtectedApp& app);
    void relockAll(const QString& reason);
    void relockApp(const QString& bundleID);
    void lockApp(const ProtectedApp& app);
    void unlockAndLaunch(const ProtectedApp& app);
    void setProtection(const ProtectedApp& app, bool enabled);

    InstalledApps& installedApps() const { return m_installed; }
    // Entries under these locations belong to the package manager and are never changed on disk.
    static bool isSystemLocation(const QString& appPath);

private:
    // The prompt's reason: "unlock Firefox".
    static QString unlockReason(const ProtectedApp& app);
    void lockAllBundles();
    void hideRunningProtectedApps();
    void handleLaunchOrActivate(const QString& bundleID);
    void handleDeactivate(const QString& bundleID);
    void handleTerminate(const QString& bundleID);
    void presentShield(const ProtectedApp& app);
    void authenticateFromShield(const ProtectedApp& app, bool preferPassword);
    void finishShieldUnlock(const ProtectedApp& app, bool authenticated);
    void cancelShield(const ProtectedApp& app);
    void lockBundle(const ProtectedApp& app);
    void unlockBundle(const ProtectedApp& app);

    PolicyStore& m_policy;
    AuthenticationService& m_auth;
    SessionManager& m_sessions;
    OverlayManager& m_overlay;
    EventLog& m_log;
    Workspace& m_workspace;
    InstalledApps& m_installed;
    // The application the shield is up for (one shield at a time), and whether its prompt is open.
    QString m_shielded;
    bool m_shieldPromptOpen = false;
    bool m_started = false;
};
