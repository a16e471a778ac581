#include "AppListModel.h"

#include "app/AppState.h"
#include "app/ProtectionChanges.h"
#include "apps/AppProtectionEngine.h"
#include "apps/InstalledApps.h"
#include "auth/SessionManager.h"
#include "store/PolicyStore.h"

AppListModel::AppListModel(AppState& state, bool enabledOnly, QObject* parent)
    : RecordListModel<Row>(parent)
    , m_state(state)
    , m_enabledOnly(enabledOnly)
{
    connect(state.policy(), &PolicyStore::appsChanged, this, &AppListModel::rebuild);
    connect(state.sessions(), &SessionManager::unlockedAppsChanged, this, &AppListModel::rebuild);
    rebuild();
}

void AppListModel::rebuild()
{
    const SessionManager& sessions = *m_state.sessions();
    QList<Row> rows;
    for (const ProtectedApp& app : m_state.policy()->apps()) {
        if (!m_enabledOnly || app.enabled)
            rows.append({app, sessions.isAppUnlocked(app.bundleID)});
    }
    if (setRows(rows, [](const Row& r) { return r.first.bundleID; }))
        emit countsChanged();
}

QVariant AppListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const auto& [app, unlocked] = m_rows[index.row()];
    switch (role) {
    case BundleIdRole:
        return app.bundleID;
    case NameRole:
        return app.name;
    case AppPathRole:
        return app.appPath;
    case EnabledRole:
        return app.enabled;
    case UnlockedRole:
        return unlocked;
    case IconRole:
        return icon(app.appPath);
    case HasIconRole:
        return !icon(app.appPath).isNull();
    default:
        return {};
    }
}

QHash<int, QByteArray> AppListModel::roleNames() const
{
    return {{BundleIdRole, "bundleID"}, {NameRole, "name"},         {AppPathRole, "appPath"},
            {EnabledRole, "isEnabled"}, {UnlockedRole, "unlocked"}, {IconRole, "iconImage"},
            {HasIconRole, "hasIcon"}};
}

QImage AppListModel::icon(const QString& appPath) const
{
    auto it = m_icons.find(appPath);
    if (it == m_icons.end())
        it = m_icons.insert(appPath, m_state.appEngine()->installedApps().icon(appPath));
    return *it;
}

int AppListModel::lockedCount() const
{
    int locked = 0;
    for (const auto& [app, unlocked] : m_rows) {
        if (app.enabled && !unlocked)
            ++locked;
    }
    return locked;
}

std::optional<ProtectedApp> AppListModel::find(const QString& bundleID) const
{
    for (const ProtectedApp& app : m_state.policy()->apps()) {
        if (app.bundleID == bundleID)
            return app;
    }
    return std::nullopt;
}

void AppListModel::unlock(const QString& bundleID)
{
    if (const auto app = find(bundleID))
        m_state.appEngine()->unlockAndLaunch(*app);
}

void AppListModel::relock(const QString& bundleID)
{
    m_state.appEngine()->relockApp(bundleID);
}

void AppListModel::setProtection(const QString& bundleID, bool enabled)
{
    if (const auto app = find(bundleID))
        m_state.changes()->setAppProtection(*app, enabled);
}

void AppListModel::remove(const QString& bundleID)
{
    if (const auto app = find(bundleID))
        m_state.changes()->removeApp(*app);
}

int AppListModel::addDesktopEntries(const QStringList& paths)
{
    return m_state.appEngine()->addApps(paths);
}
