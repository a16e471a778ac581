#include "FolderListModel.h"

#include "app/AppState.h"
#include "app/ProtectionChanges.h"
#include "folders/FolderProtectionEngine.h"
#include "folders/FolderStatus.h"
#include "model/JsonFields.h"
#include "store/PolicyStore.h"

FolderListModel::FolderListModel(AppState& state, const QString& homePath, bool enabledOnly, QObject* parent)
    : RecordListModel<Row>(parent)
    , m_state(state)
    , m_homePath(homePath)
    , m_enabledOnly(enabledOnly)
{
    connect(state.policy(), &PolicyStore::foldersChanged, this, &FolderListModel::rebuild);
    connect(state.folderEngine(), &FolderProtectionEngine::statusChanged, this, &FolderListModel::rebuild);
    rebuild();
}

void FolderListModel::rebuild()
{
    const FolderProtectionEngine& engine = *m_state.folderEngine();
    QList<Row> rows;
    for (const ProtectedFolder& folder : m_state.policy()->folders()) {
        if (!m_enabledOnly || folder.enabled)
            rows.append({folder, engine.status(folder.id)});
    }
    if (setRows(rows, [](const Row& r) { return r.first.id; }))
        emit countsChanged();
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const auto& [folder, status] = m_rows[index.row()];
    switch (role) {
    case IdRole:
        return JsonFields::uuidText(folder.id);
    case NameRole:
        return folder.name;
    case PathRole:
        return folder.path;
    case DisplayPathRole:
        return displayPath(folder.path, m_homePath);
    case LockedRole:
        return status.isLocked();
    case StateRole:
        return status.text();
    case ProblemRole:
        return status.isError() ? status.reason : QString();
    case UnreachableRole:
        return isUnreachable(status);
    default:
        return {};
    }
}

QHash<int, QByteArray> FolderListModel::roleNames() const
{
    return {{IdRole, "folderID"},     {NameRole, "name"},
            {PathRole, "path"},       {DisplayPathRole, "displayPath"},
            {LockedRole, "locked"},   {StateRole, "stateText"},
            {ProblemRole, "problem"}, {UnreachableRole, "unreachable"}};
}

bool FolderListModel::isUnreachable(const FolderStatus& status)
{
    return status.isError() && status.state != FolderStatus::State::lockFailed;
}

int FolderListModel::lockedCount() const
{
    int locked = 0;
    for (const auto& [folder, status] : m_rows) {
        if (folder.enabled && status.isLocked())
            ++locked;
    }
    return locked;
}

QString FolderListModel::displayPath(const QString& path, const QString& homePath)
{
    if (homePath.isEmpty() || homePath == QLatin1String("/"))
        return path;
    if (path == homePath)
        return QStringLiteral("~");
    if (path.startsWith(homePath + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(homePath.size());
    return path;
}

std::optional<ProtectedFolder> FolderListModel::find(const QString& id) const
{
    const std::optional<QUuid> uuid = JsonFields::parseUuid(id);
    if (!uuid)
        return std::nullopt;
    for (const ProtectedFolder& folder : m_state.policy()->folders()) {
        if (folder.id == *uuid)
            return folder;
    }
    return std::nullopt;
}

void FolderListModel::lock(const QString& id)
{
    if (const auto folder = find(id))
        m_state.folderEngine()->lock(*folder);
}

void FolderListModel::unlock(const QString& id)
{
    if (const auto folder = find(id))
        m_state.folderEngine()->unlock(*folder);
}

void FolderListModel::remove(const QString& id)
{
    if (const auto folder = find(id))
        m_state.changes()->removeFolder(*folder);
}

void FolderListModel::addFolders(const QStringList& paths)
{
    for (const QString& path : paths)
        m_state.folderEngine()->addFolder(path);
}
