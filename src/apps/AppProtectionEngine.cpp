#include "AppProtectionEngine.h"

#include "OverlayManager.h"
#include "apps/InstalledApps.h"
#include "apps/Workspace.h"
#include "auth/AuthenticationService.h"
#include "auth/SessionManager.h"
#include "io/AccessControlLock.h"
#include "store/EventLog.h"
#include "store/PolicySnapshot.h"
#include "store/PolicyStore.h"

#include <QLocale>
#include <QPointer>

AppProtectionEngine::AppProtectionEngine(PolicyStore& policy, AuthenticationService& auth,
                                         SessionManager& sessions, OverlayManager& overlay, EventLog& log,
                                         Workspace& workspace, InstalledApps& installed, QObject* parent)
    : QObject(parent)
    , m_policy(policy)
    , m_auth(auth)
    , m_sessions(sessions)
    , m_overlay(overlay)
    , m_log(log)
    , m_workspace(workspace)
    , m_installed(installed)
{}

bool AppProtectionEngine::isSystemLocation(const QString& appPath)
{
    for (const char* prefix : {"/usr/", "/snap/", "/var/lib/snapd/", "/var/lib/flatpak/"}) {
        if (appPath.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

void AppProtectionEngine::start()
{
    if (m_started)
        return;
    m_started = true;
    // The workspace delivers on the main thread in arrival order, so handlers run one at a time.
    connect(&m_workspace, &Workspace::didLaunch, this, &AppProtectionEngine::handleLaunchOrActivate);
    connect(&m_workspace, &Workspace::didActivate, this, &AppProtectionEngine::handleLaunchOrActivate);
    connect(&m_workspace, &Workspace::didDeactivate, this, &AppProtectionEngine::handleDeactivate);
    connect(&m_workspace, &Workspace::didTerminate, this, &AppProtectionEngine::handleTerminate);
    lockAllBundles();
    hideRunningProtectedApps();
}

void AppProtectionEngine::lockAllBundles()
{
    const QList<ProtectedApp> apps = m_policy.apps();
    for (const ProtectedApp& app : apps) {
        if (app.enabled && !m_sessions.isAppUnlocked(app.bundleID))
            lockBundle(app);
    }
}

void AppProtectionEngine::hideRunningProtectedApps()
{
    for (const QString& bundleID : m_workspace.runningApplications()) {
        if (bundleID != OwnBundleID && m_policy.enabledApp(bundleID))
            m_workspace.hide(bundleID);
    }
}

void AppProtectionEngine::handleLaunchOrActivate(const QString& bundleID)
{
    if (bundleID == OwnBundleID)
        return;
    const std::optional<ProtectedApp> app = m_policy.enabledApp(bundleID);
    if (!app || m_sessions.isAppUnlocked(bundleID))
        return;
    const bool shieldUp = !m_shielded.isEmpty() && m_overlay.isShown();
    if (shieldUp && (m_shielded == bundleID || m_shieldPromptOpen)) {
        // Brought forward while a shield is up (task bar, alt-tab, a window of its own): it must not
        // get the keyboard, so it goes back behind the shield. Another application waits hidden
        // while a prompt is open; brought forward after that, it gets its own shield.
        m_workspace.hide(bundleID);
        m_overlay.activate();
        return;
    }
    // A shield left up with its prompt closed gives way: the application it was for stays hidden,
    // and shows its own shield again when it is brought forward.
    presentShield(*app);
}

void AppProtectionEngine::handleDeactivate(const QString& bundleID)
{
    const std::optional<ProtectedApp> app = m_policy.enabledApp(bundleID);
    if (!app || !m_sessions.isAppUnlocked(bundleID) || !app->relockOnFocusLoss ||
        !m_policy.settings().relockAppsOnFocusLoss || m_shielded == bundleID)
        return;
    m_sessions.removeUnlockedApp(bundleID);
    m_workspace.hide(bundleID);
    lockBundle(*app);
    m_log.record(LogEventKind::appRelocked, app->name, tr("Lost focus"));
}

void AppProtectionEngine::handleTerminate(const QString& bundleID)
{
    const std::optional<ProtectedApp> app = m_policy.enabledApp(bundleID);
    if (!app)
        return;
    m_sessions.removeUnlockedApp(bundleID);
    lockBundle(*app);
}

void AppProtectionEngine::presentShield(const ProtectedApp& app)
{
    m_shielded = app.bundleID;
    m_shieldPromptOpen = false;
    m_workspace.hide(app.bundleID);
    QImage icon = m_workspace.icon(app.bundleID);
    if (icon.isNull())
        icon = m_installed.icon(app.appPath);
    QPointer<AppProtectionEngine> self(this);
    m_overlay.show(
        app.name, icon, m_auth.biometryName(),
        [self, app] {
            if (self)
                self->authenticateFromShield(app, false);
        },
        [self, app] {
            if (self)
                self->authenticateFromShield(app, true);
        },
        [self, app] {
            if (self)
                self->cancelShield(app);
        });
    // The prompt opens together with the shield, without a click.
    authenticateFromShield(app, false);
}

void AppProtectionEngine::authenticateFromShield(const ProtectedApp& app, bool preferPassword)
{
    if (m_auth.isAuthenticating() || m_shielded != app.bundleID)
        return;
    m_shieldPromptOpen = true;
    m_overlay.model().setStatus(tr("Authenticating…"), true, false);
    QPointer<AppProtectionEngine> self(this);
    m_auth.authenticate(
        unlockReason(app), preferPassword,
        [self, app](bool authenticated) {
            if (self)
                self->finishShieldUnlock(app, authenticated);
        },
        AuthenticationService::Purpose::unlockApp);
}

void AppProtectionEngine::finishShieldUnlock(const ProtectedApp& app, bool authenticated)
{
    m_shieldPromptOpen = false;
    if (authenticated) {
        m_sessions.insertUnlockedApp(app.bundleID);
        unlockBundle(app);
        if (m_shielded == app.bundleID) {
            m_shielded.clear();
            m_overlay.hide();
        }
        m_workspace.unhide(app.bundleID);
        m_workspace.activate(app.bundleID);
        m_log.record(LogEventKind::appUnlocked, app.name, QString());
        return;
    }
    if (const std::optional<QString>& message = m_auth.lastErrorMessage()) {
        m_overlay.showFailure(*message);
        m_log.record(LogEventKind::appAuthFailed, app.name, *message);
    } else {
        m_overlay.model().setStatus(m_overlay.idleStatus(), false, false);
    }
    // The prompt's window is gone and took the focus with it: the keyboard goes back to the shield,
    // where Return opens the prompt again and Escape cancels.
    m_overlay.activate();
}

void AppProtectionEngine::cancelShield(const ProtectedApp& app)
{
    if (m_shielded != app.bundleID)
        return;
    m_shielded.clear();
    m_overlay.hide();
    m_log.record(LogEventKind::appRelocked, app.name, tr("Unlock cancelled"));
}

QString AppProtectionEngine::unlockReason(const ProtectedApp& app)
{
    return tr("unlock %1").arg(app.name);
}

void AppProtectionEngine::lockBundle(const ProtectedApp& app)
{
    // Veilmark itself in the list (only by editing the file) must not lock the user out of it.
    if (app.bundleID == OwnBundleID || isSystemLocation(app.appPath))
        return;
    // Read before the lock takes the entry away: after a restart its windows must still be known.
    m_installed.keepIdentity(app.appPath);
    if (const std::optional<QString> error = AccessControlLock::lockAndVerify(app.appPath))
        m_log.record(LogEventKind::error, tr("App lock failed"),
                     QStringLiteral("%1: %2").arg(app.name, *error));
}

void AppProtectionEngine::unlockBundle(const ProtectedApp& app)
{
    if (isSystemLocation(app.appPath))
        return;
    if (const std::optional<QString> error = AccessControlLock::unlockAndVerify(app.appPath))
        m_log.record(LogEventKind::error, tr("App unlock failed"),
                     QStringLiteral("%1: %2").arg(app.name, *error));
    else
        m_installed.keepIdentity(app.appPath);
}

void AppProtectionEngine::lockApp(const ProtectedApp& app)
{
    m_sessions.removeUnlockedApp(app.bundleID);
    if (m_workspace.runningApplications().contains(app.bundleID))
        m_workspace.hide(app.bundleID);
    lockBundle(app);
    m_log.record(LogEventKind::appRelocked, app.name, tr("Locked"));
}

void AppProtectionEngine::relockApp(const QString& bundleID)
{
    m_sessions.removeUnlockedApp(bundleID);
    if (m_workspace.runningApplications().contains(bundleID))
        m_workspace.hide(bundleID);
    const std::optional<ProtectedApp> app = m_policy.enabledApp(bundleID);
    if (!app)
        return;
    lockBundle(*app);
    m_log.record(LogEventKind::appRelocked, app->name, tr("Manual relock"));
}

void AppProtectionEngine::relockAll(const QString& reason)
{
    const bool wasUnlocked = !m_sessions.unlockedApps().isEmpty();
    m_sessions.setUnlockedApps({});
    const QList<ProtectedApp> apps = m_policy.apps();
    for (const ProtectedApp& app : apps) {
        if (app.enabled)
            lockBundle(app);
    }
    hideRunningProtectedApps();
    if (wasUnlocked)
        m_log.record(LogEventKind::systemRelock, tr("All apps"), reason);
}

void AppProtectionEngine::unlockAndLaunch(const ProtectedApp& app)
{
    if (m_auth.isAuthenticating())
        return;
    QPointer<AppProtectionEngine> self(this);
    m_auth.authenticate(
        unlockReason(app), false,
        [self, app](bool authenticated) {
            if (!self)
                return;
            if (!authenticated) {
                if (const std::optional<QString>& message = self->m_auth.lastErrorMessage())
                    self->m_log.record(LogEventKind::appAuthFailed, app.name, *message);
                return;
            }
            self->unlockBundle(app);
            self->m_sessions.insertUnlockedApp(app.bundleID);
            self->m_log.record(LogEventKind::appUnlocked, app.name, QString());
            self->m_installed.launch(app.appPath);
        },
        AuthenticationService::Purpose::unlockApp);
}

void AppProtectionEngine::setProtection(const ProtectedApp& app, bool enabled)
{
    ProtectedApp copy = app;
    copy.enabled = enabled;
    m_policy.updateApp(copy);
    if (enabled) {
        lockApp(copy);
        return;
    }
    unlockBundle(copy);
    m_sessions.removeUnlockedApp(app.bundleID);
}

int AppProtectionEngine::addApps(const QStringList& paths)
{
    int added = 0;
    for (const QString& path : paths) {
        const std::optional<InstalledApps::Application> entry = m_installed.applicationAt(path);
        if (!entry || entry->id.isEmpty() || entry->id == OwnBundleID)
            continue;
        if (m_policy.apps().size() >= PolicySnapshot::MaxApps) {
            m_log.record(LogEventKind::error, tr("Can't protect app"),
                         tr("%1: no more than %2 apps can be protected.")
                             .arg(entry->name, QLocale().toString(PolicySnapshot::MaxApps)));
            break;
        }
        ProtectedApp app;
        app.bundleID = entry->id;
        app.name = entry->name.isEmpty() ? entry->id : entry->name;
        app.appPath = path;
        if (m_policy.addApp(app)) {
            lockApp(app);
            ++added;
        }
    }
    return added;
}

void AppProtectionEngine::removeProtection(const ProtectedApp& app)
{
    unlockBundle(app);
    m_sessions.removeUnlockedApp(app.bundleID);
    m_policy.removeApp(app);
    m_log.record(LogEventKind::appRelocked, app.name, tr("Protection removed"));
}
