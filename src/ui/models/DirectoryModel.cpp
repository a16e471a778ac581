#include "DirectoryModel.h"

#include "FolderListModel.h"

#include <QCollator>
#include <QDir>

#include <algorithm>

DirectoryModel::DirectoryModel(const QString& homePath, QObject* parent)
    : QAbstractListModel(parent)
    , m_homePath(homePath)
{}

void DirectoryModel::reset()
{
    m_chosen.clear();
    list(m_homePath);
    emit chosenChanged();
}

void DirectoryModel::list(const QString& path)
{
    const QDir dir(path);
    QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    beginResetModel();
    m_currentPath = QDir::cleanPath(dir.absolutePath());
    m_entries = names;
    endResetModel();
    emit currentPathChanged();
}

QString DirectoryModel::displayPath() const
{
    return FolderListModel::displayPath(m_currentPath, m_homePath);
}

int DirectoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant DirectoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const QString path = QDir(m_currentPath).filePath(m_entries[index.row()]);
    switch (role) {
    case NameRole:
        return m_entries[index.row()];
    case PathRole:
        return path;
    case ChosenRole:
        return m_chosen.contains(path);
    default:
        return {};
    }
}

QHash<int, QByteArray> DirectoryModel::roleNames() const
{
    return {{NameRole, "name"}, {PathRole, "path"}, {ChosenRole, "chosen"}};
}

void DirectoryModel::enter(int row)
{
    if (row >= 0 && row < m_entries.size())
        list(QDir(m_currentPath).filePath(m_entries[row]));
}

void DirectoryModel::up()
{
    if (m_currentPath != QLatin1String("/"))
        list(QDir::cleanPath(m_currentPath + QLatin1String("/..")));
}

void DirectoryModel::toggle(int row)
{
    if (row < 0 || row >= m_entries.size())
        return;
    const QString path = QDir(m_currentPath).filePath(m_entries[row]);
    if (!m_chosen.removeOne(path))
        m_chosen.append(path);
    emit dataChanged(index(row), index(row), {ChosenRole});
    emit chosenChanged();
}
