#include "FolderListModel.h"

#include "app/AppState.h"
#include "folders/FolderProtectionEngine.h"
#include "model/JsonFields.h"
#include "store/PolicyStore.h"

FolderListModel::FolderListModel(AppState& state, const QString& homePath, bool enabledOnly, QObject* parent)
    : QAbstractListModel(parent)
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
    if (rows == m_rows)
        return;
    // Rows keep their delegates (and keyboard focus) when only a field of a record changed.
    if (rows.size() == m_rows.size()) {
        bool sameIds = true;
        for (qsizetype i = 0; i < rows.size() && sameIds; ++i)
            sameIds = rows[i].id == m_rows[i].id;
        if (sameIds) {
            m_rows = rows;
            emit dataChanged(index(0), index(int(m_rows.size()) - 1));
            emit countsChanged();
            return;
        }
    }
    beginResetModel();
    m_rows = rows;
    endResetModel();
    emit countsChanged();
}

int FolderListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
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
