#pragma once

#include <QAbstractListModel>
#include <QDateTime>
#include <QLocale>
#include <QtQml/qqmlregistration.h>

class EventLog;
class ProtectionChanges;

// The activity log as rows, in the log's own order (newest first), each with its kind's symbol
// and colour name and its date in the user's locale.
class EventListModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the view context")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role
    {
        SubjectRole = Qt::UserRole + 1,
        DetailRole,
        DateTextRole,
        KindRole,
        SymbolRole,
        ToneRole,
    };

    // Clearing goes through `changes`, which asks for proof first.
    EventListModel(EventLog& log, ProtectionChanges& changes, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const;
    // Hours and minutes as the locale writes them, after a medium date unless `date` is on the
    // same local day as `now`.
    static QString formatDate(const QDateTime& date, const QLocale& locale = QLocale(),
                              const QDateTime& now = QDateTime::currentDateTime());

    Q_INVOKABLE void clear();

signals:
    void countChanged();

private:
    EventLog& m_log;
    ProtectionChanges& m_changes;
    qsizetype m_rows;
    bool m_recording = false;
};
