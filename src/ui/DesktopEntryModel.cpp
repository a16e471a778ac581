#include "DesktopEntryModel.h"

#include "apps/AppProtectionEngine.h"
#include "platform/linux/DesktopEntryIndex.h"

#include <QCollator>
#include <QFile>
#include <QFileInfo>
#include <QIcon>

#include <algorithm>

DesktopEntryModel::DesktopEntryModel(QObject* parent)
    : QAbstractListModel(parent)
{}

namespace {
// Entries that ask not to be shown in menus (helpers, URL handlers) are not offered either.
bool isHiddenFromMenus(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('['))
            inMainGroup = line == "[Desktop Entry]";
        else if (inMainGroup && line.startsWith("NoDisplay") && line.mid(9).trimmed().startsWith('='))
            return line.mid(line.indexOf('=') + 1).trimmed() == "true";
    }
    return false;
}
} // namespace

void DesktopEntryModel::reload()
{
    const DesktopEntryIndex index;
    QList<Row> rows;
    for (const DesktopEntryIndex::Entry& entry : index.entries()) {
        if (!isHiddenFromMenus(entry.path))
            rows.append({entry.id, entry.name.isEmpty() ? entry.id : entry.name, entry.path, entry.icon});
    }
    setRows(rows);
}

void DesktopEntryModel::setRows(const QList<Row>& rows)
{
    QList<Row> offered;
    for (const Row& row : rows) {
        if (row.id != AppProtectionEngine::OwnBundleID)
            offered.append(row);
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(offered.begin(), offered.end(),
                     [&](const Row& a, const Row& b) { return collator.compare(a.name, b.name) < 0; });
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
    const Row& row = m_rows[index.row()];
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
    if (it == m_icons.end()) {
        const QString& name = m_rows[row].icon;
        QIcon icon;
        if (QFileInfo(name).isAbsolute())
            icon = QIcon(name);
        else if (!name.isEmpty())
            icon = QIcon::fromTheme(name);
        it = m_icons.insert(row, icon.isNull() ? QImage() : icon.pixmap(64, 64).toImage());
    }
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
