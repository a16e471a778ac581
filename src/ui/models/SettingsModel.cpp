#include "SettingsModel.h"

#include "app/AppState.h"
#include "app/ProtectionChanges.h"
#include "auth/AuthenticationService.h"
#include "store/PolicyStore.h"

#include <algorithm>

SettingsModel::SettingsModel(AppState& state, QObject* parent)
    : QObject(parent)
    , m_state(state)
{
    connect(state.policy(), &PolicyStore::settingsChanged, this, &SettingsModel::changed);
}

QString SettingsModel::appearance() const
{
    return rawValue(m_state.policy()->settings().appearance);
}

void SettingsModel::setAppearance(const QString& mode)
{
    if (const std::optional<AppearanceMode> parsed = appearanceModeFromRawValue(mode))
        m_state.setAppearance(*parsed);
}

bool SettingsModel::relockAppsOnFocusLoss() const
{
    return m_state.policy()->settings().relockAppsOnFocusLoss;
}

void SettingsModel::setRelockAppsOnFocusLoss(bool on)
{
    m_state.changes()->setRelockSetting(ProtectionChanges::RelockSetting::appsOnFocusLoss, on);
}

bool SettingsModel::relockOnSleepOrScreenLock() const
{
    return m_state.policy()->settings().relockOnSleepOrScreenLock;
}

void SettingsModel::setRelockOnSleepOrScreenLock(bool on)
{
    m_state.changes()->setRelockSetting(ProtectionChanges::RelockSetting::onSleepOrScreenLock, on);
}

bool SettingsModel::launchAtLogin() const
{
    return m_state.isLaunchAtLoginRegistered();
}

void SettingsModel::setLaunchAtLogin(bool on)
{
    m_state.setLaunchAtLogin(on);
    // A failure changes no setting, yet the switch must fall back to the real status.
    emit changed();
}

int SettingsModel::defaultFolderUnlockMinutes() const
{
    return int(std::clamp<qint64>(m_state.policy()->settings().defaultFolderUnlockMinutes, INT_MIN, INT_MAX));
}

void SettingsModel::stepMinutes(int delta)
{
    const qint64 stepped = m_state.policy()->settings().defaultFolderUnlockMinutes + delta;
    VeilmarkSettings settings = m_state.policy()->settings();
    settings.defaultFolderUnlockMinutes = std::clamp<qint64>(stepped, MinimumMinutes, MaximumMinutes);
    m_state.policy()->setSettings(settings);
}

bool SettingsModel::fingerprintAvailable() const
{
    return m_state.auth()->canUseFingerprint();
}

QString SettingsModel::biometryName() const
{
    return m_state.auth()->biometryName();
}
