#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QSet>

#include <type_traits>

// A list model over copies of stored records (applications, folders). New rows replace the old
// ones row by row: records that are gone are removed, new ones inserted where they stand, and a
// record whose fields changed reports just its own row. The views keep the other rows' delegates,
// their scroll position and the keyboard focus, and a list of thousands redraws one row when one
// folder's state changes.
template <typename Record>
class RecordListModel : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }

protected:
    // `idOf` names a record; names are unique in a list. Returns whether anything changed.
    template <typename IdOf>
    bool setRows(const QList<Record>& rows, IdOf idOf)
    {
        if (rows == m_rows)
            return false;
        if (!sameIds(rows, idOf) && !moveRows(rows, idOf)) {
            // Records in another order (a replaced document): nothing row by row to keep.
            beginResetModel();
            m_rows = rows;
            endResetModel();
            return true;
        }
        for (int row = 0; row < rows.size();) {
            if (rows[row] == m_rows[row]) {
                ++row;
                continue;
            }
            const int first = row;
            for (; row < rows.size() && !(rows[row] == m_rows[row]); ++row)
                m_rows[row] = rows[row];
            emit dataChanged(index(first), index(row - 1));
        }
        return true;
    }

    QList<Record> m_rows;

private:
    template <typename IdOf>
    bool sameIds(const QList<Record>& rows, IdOf idOf) const
    {
        if (rows.size() != m_rows.size())
            return false;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (!(idOf(rows[i]) == idOf(m_rows[i])))
                return false;
        }
        return true;
    }

    // Removes the rows whose record is gone and inserts the new ones, each run of neighbours at
    // once; afterwards the rows name the same records as `rows`. Returns false, having changed
    // nothing, when the records that stay are in another order.
    template <typename IdOf>
    bool moveRows(const QList<Record>& rows, IdOf idOf)
    {
        using Id = std::decay_t<std::invoke_result_t<IdOf, const Record&>>;
        QSet<Id> wanted, shown;
        QList<Id> staying, stayingShown;
        for (const Record& record : rows)
            wanted.insert(idOf(record));
        for (const Record& record : m_rows) {
            shown.insert(idOf(record));
            if (wanted.contains(idOf(record)))
                stayingShown.append(idOf(record));
        }
        for (const Record& record : rows) {
            if (shown.contains(idOf(record)))
                staying.append(idOf(record));
        }
        if (staying != stayingShown || wanted.size() != rows.size())
            return false;

        for (int row = int(m_rows.size()) - 1; row >= 0;) {
            if (wanted.contains(idOf(m_rows[row]))) {
                --row;
                continue;
            }
            const int last = row;
            while (row > 0 && !wanted.contains(idOf(m_rows[row - 1])))
                --row;
            beginRemoveRows({}, row, last);
            m_rows.remove(row, last - row + 1);
            endRemoveRows();
            --row;
        }
        // Everything before `row` already matches `rows`, so a run of new records goes in at `row`.
        for (int row = 0; row < rows.size();) {
            if (shown.contains(idOf(rows[row]))) {
                ++row;
                continue;
            }
            const int first = row;
            while (row < rows.size() && !shown.contains(idOf(rows[row])))
                ++row;
            beginInsertRows({}, first, row - 1);
            for (int i = first; i < row; ++i)
                m_rows.insert(i, rows[i]);
            endInsertRows();
        }
        return true;
    }
};
