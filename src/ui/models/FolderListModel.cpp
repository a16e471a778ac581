#include "FolderListModel.h"

#include "app/AppState.h"
#include "folders/FolderProtectionEngine.h"
#include "model/JsonFields.h"
#include "store/PolicyStore.h"

FolderListModel::FolderListModel(AppState& state, const QString& homePath, bool enabledOnly, QObject* parent)
    : RecordListModel<ProtectedFolder>(parent)
    , m_state(state)
    , m_homePath(homePath)
    , m_enabledOnly(enabledOnly)
{
    connect(state.policy(), &PolicyStore::foldersChanged, this, &FolderListModel::rebuild);
    rebuild();
}

void FolderListModel::rebuild()
{
    QList<ProtectedFolder> rows;
    for (const ProtectedFolder& folder : m_state.policy()->folders()) {
        if (!m_enabledOnly || folder.enabled)
            rows.append(folder);
    }
    if (setRows(rows, [](const ProtectedFolder& r) { return r.id; }))
        emit countsChanged();
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const ProtectedFolder& folder = m_rows[index.row()];
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
        return folder.isLocked;
    default:
        return {};
    }
}

QHash<int, QByteArray> FolderListModel::roleNames() const
{
    return {{IdRole, "folderID"},
            {NameRole, "name"},
            {PathRole, "path"},
            {DisplayPathRole, "displayPath"},
            {LockedRole, "locked"}};
}

int FolderListModel::lockedCount() const
{
    int locked = 0;
    for (const ProtectedFolder& folder : m_rows) {
        if (folder.enabled && folder.isLocked)
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
        m_state.folderEngine()->removeProtection(*folder);
}

void FolderListModel::addFolders(const QStringList& paths)
{
    for (const QString& path : paths)
        m_state.folderEngine()->addFolder(path);
}
