#include "DesktopEntryModel.h"

#include "apps/AppProtectionEngine.h"

#include <QCollator>

#include <algorithm>

DesktopEntryModel::DesktopEntryModel(InstalledApps& installed, QObject* parent)
    : QAbstractListModel(parent)
    , m_installed(installed)
{}

void DesktopEntryModel::reload()
{
    QList<InstalledApps::Application> offered;
    for (const InstalledApps::Application& app : m_installed.menuApplications()) {
        if (app.id != AppProtectionEngine::OwnBundleID)
            offered.append(app);
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(offered.begin(), offered.end(),
                     [&](const auto& a, const auto& b) { return collator.compare(a.name, b.name) < 0; });
    beginResetModel();
    m_rows = offered;
    m_chosen.clear();
    m_icons.clear();
    endResetModel();
    emit chosenChanged();
}

int DesktopEntryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant DesktopEntryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const InstalledApps::Application& row = m_rows[index.row()];
    switch (role) {
    case NameRole:
        return row.name;
    case PathRole:
        return row.path;
    case IdRole:
        return row.id;
    case ChosenRole:
        return m_chosen.contains(index.row());
    case IconRole:
        return icon(index.row());
    case HasIconRole:
        return !icon(index.row()).isNull();
    default:
        return {};
    }
}

QImage DesktopEntryModel::icon(int row) const
{
    // Icons are looked up only for the rows the list actually shows.
    auto it = m_icons.find(row);
    if (it == m_icons.end())
        it = m_icons.insert(row, m_installed.icon(m_rows[row].path));
    return *it;
}

QHash<int, QByteArray> DesktopEntryModel::roleNames() const
{
    return {{NameRole, "name"},      {PathRole, "path"},     {IdRole, "entryID"},
            {IconRole, "iconImage"}, {ChosenRole, "chosen"}, {HasIconRole, "hasIcon"}};
}

void DesktopEntryModel::toggle(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    if (!m_chosen.remove(row))
        m_chosen.insert(row);
    emit dataChanged(index(row), index(row), {ChosenRole});
    emit chosenChanged();
}

QStringList DesktopEntryModel::chosenPaths() const
{
    QStringList paths;
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_chosen.contains(row))
            paths.append(m_rows[row].path);
    }
    return paths;
}
