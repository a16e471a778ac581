#include "AppListModel.h"

#include "app/AppState.h"
#include "apps/AppProtectionEngine.h"
#include "auth/SessionManager.h"
#include "platform/Workspace.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

AppListModel::AppListModel(AppState& state, Workspace* workspace, bool enabledOnly, QObject* parent)
    : RecordListModel<ProtectedApp>(parent)
    , m_state(state)
    , m_workspace(workspace)
    , m_enabledOnly(enabledOnly)
{
    connect(state.policy(), &PolicyStore::appsChanged, this, &AppListModel::rebuild);
    connect(state.sessions(), &SessionManager::unlockedAppsChanged, this, [this] {
        if (!m_rows.isEmpty())
            emit dataChanged(index(0), index(int(m_rows.size()) - 1), {UnlockedRole});
        emit countsChanged();
    });
    rebuild();
}

void AppListModel::rebuild()
{
    QList<ProtectedApp> rows;
    for (const ProtectedApp& app : m_state.policy()->apps()) {
        if (!m_enabledOnly || app.enabled)
            rows.append(app);
    }
    if (setRows(rows, [](const ProtectedApp& r) { return r.bundleID; }))
        emit countsChanged();
}

QVariant AppListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const ProtectedApp& app = m_rows[index.row()];
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
        return m_state.sessions()->isAppUnlocked(app.bundleID);
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
    if (!m_workspace)
        return {};
    auto it = m_icons.find(appPath);
    if (it == m_icons.end())
        it = m_icons.insert(appPath, m_workspace->iconForFile(appPath));
    return *it;
}

int AppListModel::lockedCount() const
{
    int locked = 0;
    for (const ProtectedApp& app : m_rows) {
        if (app.enabled && !m_state.sessions()->isAppUnlocked(app.bundleID))
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
        m_state.appEngine()->setProtection(*app, enabled);
}

void AppListModel::remove(const QString& bundleID)
{
    const auto app = find(bundleID);
    if (!app)
        return;
    m_state.appEngine()->unlockBundle(*app);
    m_state.sessions()->removeUnlockedApp(app->bundleID);
    m_state.policy()->removeApp(*app);
    m_state.log()->record(LogEventKind::appRelocked, app->name, QStringLiteral("Protection removed"));
}

int AppListModel::addDesktopEntries(const QStringList& paths)
{
    int added = 0;
    for (const QString& path : paths) {
        const std::optional<DesktopEntryIndex::Entry> entry = DesktopEntryIndex::read(path);
        if (!entry)
            continue;
        const QString id = DesktopEntryIndex::idForPath(path);
        if (id.isEmpty() || id == AppProtectionEngine::OwnBundleID)
            continue;
        ProtectedApp app;
        app.bundleID = id;
        app.name = entry->name.isEmpty() ? id : entry->name;
        app.appPath = path;
        if (m_state.policy()->addApp(app)) {
            m_state.appEngine()->lockApp(app);
            ++added;
        }
    }
    return added;
}
