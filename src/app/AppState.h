#pragma once

#include "PlatformServices.h"
#include "model/AppearanceMode.h"

#include <QObject>

#include <memory>

class AppProtectionEngine;
class AuthenticationService;
class EventLog;
class FolderProtectionEngine;
class KeychainService;
class OverlayManager;
class PolicyStore;
class SessionManager;

// The one coordinator of the process: it builds every long-lived service, starts protection
// once, and turns sleep, screen lock and session switch into a relock of applications, then
// folders. The views reach everything through it. App protection runs only when the session's
// window-system backend supports it; everything else runs everywhere.
class AppState : public QObject
{
    Q_OBJECT

public:
    explicit AppState(const PlatformServices& platform, QObject* parent = nullptr);
    ~AppState() override;

    PolicyStore* policy() const { return m_policy.get(); }
    AuthenticationService* auth() const { return m_auth.get(); }
    SessionManager* sessions() const { return m_sessions.get(); }
    EventLog* log() const { return m_log.get(); }
    AppProtectionEngine* appEngine() const { return m_appEngine.get(); }
    FolderProtectionEngine* folderEngine() const { return m_folderEngine.get(); }
    KeychainService* keychain() const { return m_keychain.get(); }
    // Whether applications can be watched and hidden in this session; fixed for its life.
    bool appProtectionSupported() const { return m_appProtectionSupported; }
    // Whether Veilmark's windows draw dark: the stored appearance, or the desktop's preference.
    bool isDark() const { return m_dark; }

    void start();
    void handleSystemEvent(const QString& reason);
    // Applications first, then folders; used by lock-all and by quitting.
    void relockEverything(const QString& reason);
    void setAppearance(AppearanceMode mode);
    void setLaunchAtLogin(bool enabled);
    bool isLaunchAtLoginRegistered() const;

signals:
    void darkChanged();

private:
    void registerSystemObservers();
    void applyAppearance();

    PlatformServices m_platform;
    const bool m_appProtectionSupported;
    bool m_started = false;
    bool m_dark = false;
    std::unique_ptr<KeychainService> m_keychain;
    std::unique_ptr<PolicyStore> m_policy;
    std::unique_ptr<AuthenticationService> m_auth;
    std::unique_ptr<SessionManager> m_sessions;
    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<OverlayManager> m_overlay;
    std::unique_ptr<AppProtectionEngine> m_appEngine;
    std::unique_ptr<FolderProtectionEngine> m_folderEngine;
};
