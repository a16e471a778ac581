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
class ProtectionChanges;
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
    // The only way the views weaken protection: each change asks for proof first.
    ProtectionChanges* changes() const { return m_changes.get(); }
    // Whether applications can be watched and hidden in this session; once false, false for the run.
    bool appProtectionSupported() const { return m_appProtectionSupported; }
    // Why not, when not: what the session lacks and what can be done about it.
    QString appProtectionProblem() const;
    QString appProtectionRemedy() const;
    // Does what the remedy says; the activity log records what is left to do.
    void applyAppProtectionRemedy();
    // Whether Veilmark's windows draw dark: the stored appearance, or the desktop's preference.
    bool isDark() const { return m_dark; }

    void start();
    void handleSystemEvent(const QString& reason);
    // Applications first, then folders; used by lock-all and by quitting.
    void relockEverything(const QString& reason);
    void setAppearance(AppearanceMode mode);
    void setLaunchAtLogin(bool enabled);
    bool isLaunchAtLoginRegistered() const;
    // One line for the window while a stored document could not be read or the policy cannot be
    // saved, the most pressing first; empty when all is well.
    const QString& storageNotice() const { return m_storageNotice; }

signals:
    void darkChanged();
    void storageNoticeChanged();
    // The reason app protection is off, or its remedy, changed.
    void appProtectionChanged();

private:
    // Records in the activity log why applications are not protected.
    void recordAppProtectionUnavailable();
    // Records in the activity log what the stores could not read at load.
    void reportUnreadableDocuments();
    // One error event per run of failed saves, not one per failed attempt.
    void policySaveErrorChanged();
    void updateStorageNotice();

    void registerSystemObservers();
    void applyAppearance();

    PlatformServices m_platform;
    bool m_appProtectionSupported;
    bool m_started = false;
    bool m_dark = false;
    bool m_saveFailureRecorded = false;
    QString m_storageNotice;
    std::unique_ptr<KeychainService> m_keychain;
    std::unique_ptr<PolicyStore> m_policy;
    std::unique_ptr<AuthenticationService> m_auth;
    std::unique_ptr<SessionManager> m_sessions;
    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<OverlayManager> m_overlay;
    std::unique_ptr<AppProtectionEngine> m_appEngine;
    std::unique_ptr<FolderProtectionEngine> m_folderEngine;
    std::unique_ptr<ProtectionChanges> m_changes;
};
