#pragma once

#include <QAbstractListModel>
#include <QList>

// A list model over copies of stored records (applications, folders). Replacing the rows keeps
// the views' delegates, and with them the keyboard focus, when only fields of the shown records
// changed, not which records are shown.
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
    // Returns whether anything changed.
    template <typename IdOf>
    bool setRows(const QList<Record>& rows, IdOf idOf)
    {
        if (rows == m_rows)
            return false;
        bool sameIds = rows.size() == m_rows.size();
        for (qsizetype i = 0; i < rows.size() && sameIds; ++i)
            sameIds = idOf(rows[i]) == idOf(m_rows[i]);
        if (sameIds) {
            m_rows = rows;
            emit dataChanged(index(0), index(int(m_rows.size()) - 1));
            return true;
        }
        beginResetModel();
        m_rows = rows;
        endResetModel();
        return true;
    }

    QList<Record> m_rows;
};
