#include "ProtectionChanges.h"

#include "apps/AppProtectionEngine.h"
#include "auth/AuthenticationService.h"
#include "folders/FolderProtectionEngine.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QPointer>

#include <algorithm>

ProtectionChanges::ProtectionChanges(PolicyStore& policy, AuthenticationService& auth, EventLog& log,
                                     AppProtectionEngine& apps, FolderProtectionEngine& folders,
                                     QObject* parent)
    : QObject(parent)
    , m_policy(policy)
    , m_auth(auth)
    , m_log(log)
    , m_apps(apps)
    , m_folders(folders)
{}

void ProtectionChanges::withProof(const QString& reason, const QString& subject,
                                  const std::function<void()>& change)
{
    QPointer<ProtectionChanges> self(this);
    m_auth.authenticate(reason, false, [self, subject, change](bool authenticated) {
        if (!self)
            return;
        if (authenticated) {
            change();
            return;
        }
        self->m_log.record(
            LogEventKind::protectionChanged, subject,
            tr("Not changed — %1")
                .arg(self->m_auth.lastErrorMessage().value_or(tr("Authentication cancelled"))));
    });
}

void ProtectionChanges::setAppProtection(const ProtectedApp& app, bool enabled)
{
    if (enabled)
        return m_apps.setProtection(app, true); // the engine records the lock
    withProof(tr("turn off protection for %1").arg(app.name), app.name, [this, app] {
        m_apps.setProtection(app, false);
        m_log.record(LogEventKind::protectionChanged, app.name, tr("Protection turned off"));
    });
}

void ProtectionChanges::removeApp(const ProtectedApp& app)
{
    withProof(tr("remove protection from %1").arg(app.name), app.name,
              [this, app] { m_apps.removeProtection(app); });
}

void ProtectionChanges::removeFolder(const ProtectedFolder& folder)
{
    withProof(tr("remove protection from %1").arg(folder.name), folder.name,
              [this, folder] { m_folders.removeProtection(folder); });
}

void ProtectionChanges::setRelockSetting(RelockSetting setting, bool on)
{
    const bool sleep = setting == RelockSetting::onSleepOrScreenLock;
    const QString subject = sleep ? tr("Relock on sleep or screen lock") : tr("Relock apps on focus loss");
    const auto apply = [this, sleep, on, subject] {
        VeilmarkSettings settings = m_policy.settings();
        bool& value = sleep ? settings.relockOnSleepOrScreenLock : settings.relockAppsOnFocusLoss;
        if (value == on)
            return;
        value = on;
        m_policy.setSettings(settings);
        m_log.record(LogEventKind::protectionChanged, subject, on ? tr("Turned on") : tr("Turned off"));
    };
    if (on)
        return apply();
    withProof(sleep ? tr("turn off relocking when the computer sleeps or the screen locks")
                    : tr("turn off relocking apps when they lose focus"),
              subject, apply);
}

void ProtectionChanges::clearLog()
{
    withProof(tr("clear the activity log"), tr("Activity log"), [this] {
        m_log.clear();
        // The clearing itself stays on record.
        m_log.record(LogEventKind::protectionChanged, tr("Activity log"), tr("Cleared"));
    });
}

void ProtectionChanges::quit(const std::function<void()>& quitNow)
{
    const auto enabled = [](const auto& record) { return record.enabled; };
    const bool protecting =
        std::ranges::any_of(m_policy.apps(), enabled) || std::ranges::any_of(m_policy.folders(), enabled);
    if (!protecting)
        return quitNow();
    withProof(tr("quit and stop protecting your apps and folders"), QStringLiteral("Veilmark"),
              [this, quitNow] {
                  m_log.record(LogEventKind::protectionChanged, QStringLiteral("Veilmark"),
                               tr("Quit from the window"));
                  quitNow();
              });
}
