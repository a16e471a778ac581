#include "AppState.h"

#include "ProtectionChanges.h"
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
    , m_changes(
          std::make_unique<ProtectionChanges>(*m_policy, *m_auth, *m_log, *m_appEngine, *m_folderEngine))
{
    connect(&platform.appearance, &Appearance::desktopPreferenceChanged, this, [this] {
        if (m_policy->settings().appearance == AppearanceMode::system)
            applyAppearance();
    });
    connect(m_policy.get(), &PolicyStore::saveErrorChanged, this, &AppState::policySaveErrorChanged);
    // A backend lost while running (its Shell extension turned off) watches nothing from then on:
    // nothing may still say "Locked". Support that comes back needs a restart, which the reason says.
    connect(&platform.workspace, &Workspace::supportChanged, this, [this] {
        if (m_appProtectionSupported && !m_platform.workspace.isSupported()) {
            m_appProtectionSupported = false;
            recordAppProtectionUnavailable();
        }
        emit appProtectionChanged();
    });
    // Each wrong password and unknown finger, not only each failed prompt, leaves a trace.
    connect(m_auth.get(), &AuthenticationService::attemptFailed, this,
            [this](const QString& reason, const QString& detail) {
                const QString subject =
                    reason.isEmpty() ? QStringLiteral("Veilmark") : reason.at(0).toUpper() + reason.mid(1);
                using Purpose = AuthenticationService::Purpose;
                const Purpose purpose = m_auth->purpose();
                const LogEventKind kind = purpose == Purpose::unlockFolder ? LogEventKind::folderAuthFailed
                                          : purpose == Purpose::unlockApp  ? LogEventKind::appAuthFailed
                                                                           : LogEventKind::protectionChanged;
                m_log->record(kind, subject, detail);
            });
    updateStorageNotice();
}

AppState::~AppState() = default;

QString AppState::appProtectionProblem() const
{
    return m_platform.workspace.unsupportedReason();
}

QString AppState::appProtectionRemedy() const
{
    return m_appProtectionSupported ? QString() : m_platform.workspace.remedy();
}

void AppState::applyAppProtectionRemedy()
{
    if (appProtectionRemedy().isEmpty())
        return;
    // The workspace says what changed (supportChanged), which the screens follow.
    m_platform.workspace.applyRemedy();
    recordAppProtectionUnavailable();
}

void AppState::recordAppProtectionUnavailable()
{
    m_log->record(LogEventKind::error, tr("App protection unavailable"), appProtectionProblem());
}

void AppState::start()
{
    if (m_started)
        return;
    m_started = true;
    reportUnreadableDocuments();
    m_keychain->ensureVaultToken();
    applyAppearance();

    // The system's registration wins over the stored flag; nothing is registered here.
    const bool registered = m_platform.loginItems.isRegistered();
    if (registered != m_policy->settings().launchAtLogin) {
        VeilmarkSettings settings = m_policy->settings();
        settings.launchAtLogin = registered;
        m_policy->setSettings(settings);
    }

    // Without a backend that can hide windows nothing is locked or hidden, so nothing claims to be;
    // the activity log says why once per start, as the Apps screen does.
    if (m_appProtectionSupported)
        m_appEngine->start();
    else
        recordAppProtectionUnavailable();
    QPointer<FolderProtectionEngine> folders(m_folderEngine.get());
    m_sessions->onFolderSessionExpired = [folders](const QUuid& id) {
        if (folders)
            folders->sessionExpired(id);
    };
    m_folderEngine->relockAtLaunch();
    registerSystemObservers();
}

namespace {
// "<file>: <first problems> — <where the original is>", short enough for one activity row.
QString unreadableDetail(const QString& file, const QStringList& problems, const QString& copy,
                         const QString& moveError, const QString& consequence)
{
    constexpr qsizetype Shown = 3;
    QString found = problems.mid(0, Shown).join(QLatin1String("; "));
    if (problems.size() > Shown)
        found =
            AppState::tr("%1 and %n more", "problems of a document", int(problems.size() - Shown)).arg(found);
    if (moveError.isEmpty())
        return AppState::tr("%1: %2 — the original is kept as %3").arg(file, found, copy);
    return AppState::tr("%1: %2 — it could not be moved aside (%3), so it is left as it is and %4")
        .arg(file, found, moveError, consequence);
}
} // namespace

void AppState::reportUnreadableDocuments()
{
    const PolicyStore& policy = *m_policy;
    if (!policy.loadProblems().isEmpty())
        m_log->record(LogEventKind::error, tr("Policy unreadable"),
                      unreadableDetail(QStringLiteral("policies.json"), policy.loadProblems(),
                                       policy.unreadableCopy(), policy.moveAsideError(),
                                       tr("changes are not saved")));
    const EventLog& log = *m_log;
    if (!log.loadProblems().isEmpty())
        m_log->record(LogEventKind::error, tr("Activity log unreadable"),
                      unreadableDetail(QStringLiteral("events.json"), log.loadProblems(),
                                       log.unreadableCopy(), log.moveAsideError(),
                                       tr("activity is not saved")));
    // Writing what was kept at load may already have failed, before anyone listened.
    policySaveErrorChanged();
}

void AppState::policySaveErrorChanged()
{
    const QString& error = m_policy->saveError();
    if (error.isEmpty()) {
        m_saveFailureRecorded = false;
    } else if (!m_saveFailureRecorded) {
        m_saveFailureRecorded = true;
        m_log->record(LogEventKind::error, tr("Policy not saved"),
                      tr("%1 — changes are kept and saved again with the next change").arg(error));
    }
    updateStorageNotice();
}

void AppState::updateStorageNotice()
{
    QString notice;
    const auto unreadable = [](const QString& file, const QString& copy) {
        return tr("%1 could not be read — the original is kept as %2").arg(file, copy);
    };
    if (m_policy->isReadOnly())
        notice = tr("%1 could not be read or moved aside — changes are not saved: %2")
                     .arg(QStringLiteral("policies.json"), m_policy->moveAsideError());
    else if (!m_policy->saveError().isEmpty())
        notice = tr("Changes are not saved: %1").arg(m_policy->saveError());
    else if (!m_policy->unreadableCopy().isEmpty())
        notice = unreadable(QStringLiteral("policies.json"), m_policy->unreadableCopy());
    else if (!m_log->moveAsideError().isEmpty())
        notice = tr("%1 could not be read or moved aside — activity is not saved: %2")
                     .arg(QStringLiteral("events.json"), m_log->moveAsideError());
    else if (!m_log->unreadableCopy().isEmpty())
        notice = unreadable(QStringLiteral("events.json"), m_log->unreadableCopy());
    if (notice == m_storageNotice)
        return;
    m_storageNotice = notice;
    emit storageNoticeChanged();
}

void AppState::registerSystemObservers()
{
    SystemEvents& events = m_platform.systemEvents;
    connect(&events, &SystemEvents::goingToSleep, this,
            [this] { handleSystemEvent(tr("Computer going to sleep")); });
    connect(&events, &SystemEvents::sessionSwitched, this,
            [this] { handleSystemEvent(tr("User session switched")); });
    connect(&events, &SystemEvents::screenLocked, this, [this] { handleSystemEvent(tr("Screen locked")); });
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
        m_log->record(LogEventKind::error, tr("Launch at Login"), *error);
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
