#include "TrayListModel.h"

#include "FolderListModel.h"
#include "app/AppState.h"
#include "auth/SessionManager.h"
#include "folders/FolderProtectionEngine.h"
#include "model/JsonFields.h"
#include "store/PolicyStore.h"

TrayListModel::TrayListModel(AppState& state, QObject* parent)
    : RecordListModel<TrayRow>(parent)
    , m_state(state)
{
    connect(state.policy(), &PolicyStore::appsChanged, this, &TrayListModel::rebuild);
    connect(state.policy(), &PolicyStore::foldersChanged, this, &TrayListModel::rebuild);
    connect(state.sessions(), &SessionManager::unlockedAppsChanged, this, &TrayListModel::rebuild);
    connect(state.folderEngine(), &FolderProtectionEngine::statusChanged, this, &TrayListModel::rebuild);
    rebuild();
}

void TrayListModel::rebuild()
{
    QList<TrayRow> rows;
    for (const ProtectedApp& app : m_state.policy()->apps()) {
        if (app.enabled)
            rows.append({true, app.bundleID, app.name, !m_state.sessions()->isAppUnlocked(app.bundleID), {}});
    }
    const FolderProtectionEngine& engine = *m_state.folderEngine();
    for (const ProtectedFolder& folder : m_state.policy()->folders()) {
        if (!folder.enabled)
            continue;
        const FolderStatus status = engine.status(folder.id);
        rows.append({false, JsonFields::uuidText(folder.id), folder.name, status.isLocked(),
                     FolderListModel::isUnreachable(status) ? status.text() : QString()});
    }
    // Applications and folders are named apart, even where an ID happens to equal a UUID.
    setRows(rows, [](const TrayRow& r) { return std::pair(r.isApp, r.id); });
}

QVariant TrayListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const TrayRow& row = m_rows[index.row()];
    switch (role) {
    case KindRole:
        return row.isApp ? QStringLiteral("app") : QStringLiteral("folder");
    case IdRole:
        return row.id;
    case NameRole:
        return row.name;
    case LockedRole:
        return row.locked;
    case ProblemRole:
        return row.problem;
    default:
        return {};
    }
}

QHash<int, QByteArray> TrayListModel::roleNames() const
{
    return {{KindRole, "kind"},
            {IdRole, "recordID"},
            {NameRole, "name"},
            {LockedRole, "locked"},
            {ProblemRole, "problem"}};
}
