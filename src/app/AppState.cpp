#include "AppState.h"

#include "app/Appearance.h"
#include "app/LoginItems.h"
#include "app/SystemEvents.h"
#include "apps/AppProtectionEngine.h"
#include "apps/OverlayManager.h"
#include "apps/Workspace.h"
#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "auth/SessionManager.h"
#include "folders/FolderProtectionEngine.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QPointer>

AppState::AppState(const PlatformServices& platform, QObject* parent)
    : QObject(parent)
    , m_platform(platform)
    , m_appProtectionSupported(platform.workspace.isSupported())
    , m_keychain(std::make_unique<KeychainService>(platform.secrets))
    , m_policy(std::make_unique<PolicyStore>())
    , m_auth(std::make_unique<AuthenticationService>(platform.authenticator, *m_keychain))
    , m_sessions(std::make_unique<SessionManager>(platform.clock))
    , m_log(std::make_unique<EventLog>())
    , m_overlay(std::make_unique<OverlayManager>(platform.shieldDisplay))
    , m_appEngine(std::make_unique<AppProtectionEngine>(*m_policy, *m_auth, *m_sessions, *m_overlay, *m_log,
                                                        platform.workspace, platform.installedApps))
    , m_folderEngine(std::make_unique<FolderProtectionEngine>(*m_policy, *m_auth, *m_sessions, *m_log,
                                                              platform.homePath, platform.dataDirectory))
{
    connect(&platform.appearance, &Appearance::desktopPreferenceChanged, this, [this] {
        if (m_policy->settings().appearance == AppearanceMode::system)
            applyAppearance();
    });
}

AppState::~AppState() = default;

void AppState::start()
{
    if (m_started)
        return;
    m_started = true;
    m_keychain->ensureVaultToken();
    applyAppearance();

    // The system's registration wins over the stored flag; nothing is registered here.
    const bool registered = m_platform.loginItems.isRegistered();
    if (registered != m_policy->settings().launchAtLogin) {
        VeilmarkSettings settings = m_policy->settings();
        settings.launchAtLogin = registered;
        m_policy->setSettings(settings);
    }

    // Without a backend that can hide windows nothing is locked or hidden, so nothing claims to be.
    if (m_appProtectionSupported)
        m_appEngine->start();
    QPointer<FolderProtectionEngine> folders(m_folderEngine.get());
    m_sessions->onFolderSessionExpired = [folders](const QUuid& id) {
        if (folders)
            folders->sessionExpired(id);
    };
    m_folderEngine->relockAtLaunch();
    registerSystemObservers();
}

void AppState::registerSystemObservers()
{
    SystemEvents& events = m_platform.systemEvents;
    connect(&events, &SystemEvents::goingToSleep, this,
            [this] { handleSystemEvent(QStringLiteral("Computer going to sleep")); });
    connect(&events, &SystemEvents::sessionSwitched, this,
            [this] { handleSystemEvent(QStringLiteral("User session switched")); });
    connect(&events, &SystemEvents::screenLocked, this,
            [this] { handleSystemEvent(QStringLiteral("Screen locked")); });
    events.start();
}

void AppState::handleSystemEvent(const QString& reason)
{
    if (!m_policy->settings().relockOnSleepOrScreenLock)
        return;
    relockEverything(reason);
}

void AppState::relockEverything(const QString& reason)
{
    if (m_appProtectionSupported)
        m_appEngine->relockAll(reason);
    m_folderEngine->relockAll(reason);
}

void AppState::setAppearance(AppearanceMode mode)
{
    VeilmarkSettings settings = m_policy->settings();
    settings.appearance = mode;
    m_policy->setSettings(settings);
    applyAppearance();
}

void AppState::applyAppearance()
{
    bool dark = false;
    switch (m_policy->settings().appearance) {
    case AppearanceMode::system:
        dark = m_platform.appearance.desktopPrefersDark();
        break;
    case AppearanceMode::light:
        break;
    case AppearanceMode::dark:
        dark = true;
        break;
    }
    if (dark == m_dark)
        return;
    m_dark = dark;
    emit darkChanged();
}

void AppState::setLaunchAtLogin(bool enabled)
{
    LoginItems& items = m_platform.loginItems;
    const std::optional<QString> error = enabled ? items.registerItem() : items.unregisterItem();
    if (error) {
        m_log->record(LogEventKind::error, QStringLiteral("Launch at Login"), *error);
        return;
    }
    VeilmarkSettings settings = m_policy->settings();
    settings.launchAtLogin = enabled;
    m_policy->setSettings(settings);
}

bool AppState::isLaunchAtLoginRegistered() const
{
    return m_platform.loginItems.isRegistered();
}
