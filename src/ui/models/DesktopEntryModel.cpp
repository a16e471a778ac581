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
    m_all = offered;
    m_chosen.clear();
    m_icons.clear();
    m_filter.clear();
    applyFilter();
    emit filterChanged();
    emit chosenChanged();
}

void DesktopEntryModel::setFilter(const QString& filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    applyFilter();
    emit filterChanged();
}

void DesktopEntryModel::applyFilter()
{
    const QString wanted = m_filter.trimmed();
    const auto matches = [&](const InstalledApps::Application& app) {
        if (wanted.isEmpty() || app.name.contains(wanted, Qt::CaseInsensitive) ||
            app.id.contains(wanted, Qt::CaseInsensitive))
            return true;
        return std::ranges::any_of(
            app.keywords, [&](const QString& word) { return word.contains(wanted, Qt::CaseInsensitive); });
    };
    beginResetModel();
    m_rows.clear();
    std::ranges::copy_if(m_all, std::back_inserter(m_rows), matches);
    endResetModel();
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
        return m_chosen.contains(row.path);
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
    const QString& path = m_rows[row].path;
    auto it = m_icons.find(path);
    if (it == m_icons.end())
        it = m_icons.insert(path, m_installed.icon(path));
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
    const QString& path = m_rows[row].path;
    if (!m_chosen.remove(path))
        m_chosen.insert(path);
    emit dataChanged(index(row), index(row), {ChosenRole});
    emit chosenChanged();
}

QStringList DesktopEntryModel::chosenPaths() const
{
    QStringList paths;
    for (const InstalledApps::Application& app : m_all) {
        if (m_chosen.contains(app.path))
            paths.append(app.path);
    }
    return paths;
}
