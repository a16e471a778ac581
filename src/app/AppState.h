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
// folders. The views reach everything through it.
class AppState : public QObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("apps/AppProtectionEngine.h")
    Q_MOC_INCLUDE("auth/AuthenticationService.h")
    Q_MOC_INCLUDE("auth/SessionManager.h")
    Q_MOC_INCLUDE("folders/FolderProtectionEngine.h")
    Q_MOC_INCLUDE("store/EventLog.h")
    Q_MOC_INCLUDE("store/PolicyStore.h")
    Q_PROPERTY(PolicyStore* policy READ policy CONSTANT)
    Q_PROPERTY(AuthenticationService* auth READ auth CONSTANT)
    Q_PROPERTY(SessionManager* sessions READ sessions CONSTANT)
    Q_PROPERTY(EventLog* log READ log CONSTANT)
    Q_PROPERTY(AppProtectionEngine* appEngine READ appEngine CONSTANT)
    Q_PROPERTY(FolderProtectionEngine* folderEngine READ folderEngine CONSTANT)

public:
    explicit AppState(const PlatformServices& platform, QObject* parent = nullptr);
    ~AppState() override;

    // The instance of the process: the first one constructed.
    static AppState* shared();

    PolicyStore* policy() const { return m_policy.get(); }
    AuthenticationService* auth() const { return m_auth.get(); }
    SessionManager* sessions() const { return m_sessions.get(); }
    EventLog* log() const { return m_log.get(); }
    OverlayManager* overlay() const { return m_overlay.get(); }
    AppProtectionEngine* appEngine() const { return m_appEngine.get(); }
    FolderProtectionEngine* folderEngine() const { return m_folderEngine.get(); }
    KeychainService* keychain() const { return m_keychain.get(); }
    bool isStarted() const { return m_started; }

    void start();
    void handleSystemEvent(const QString& reason);
    // Applications first, then folders; used by lock-all and by quitting.
    Q_INVOKABLE void relockEverything(const QString& reason);
    Q_INVOKABLE void setAppearance(AppearanceMode mode);
    void applyAppearance(AppearanceMode mode);
    Q_INVOKABLE void setLaunchAtLogin(bool enabled);
    bool isLaunchAtLoginRegistered() const;

private:
    void registerSystemObservers();

    PlatformServices m_platform;
    bool m_started = false;
    std::unique_ptr<KeychainService> m_keychain;
    std::unique_ptr<PolicyStore> m_policy;
    std::unique_ptr<AuthenticationService> m_auth;
    std::unique_ptr<SessionManager> m_sessions;
    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<OverlayManager> m_overlay;
    std::unique_ptr<AppProtectionEngine> m_appEngine;
    std::unique_ptr<FolderProtectionEngine> m_folderEngine;
};
