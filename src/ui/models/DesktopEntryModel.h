#pragma once

#include "apps/InstalledApps.h"

#include <QAbstractListModel>
#include <QImage>
#include <QSet>
#include <QtQml/qqmlregistration.h>

// The installed applications for the application chooser: one row per entry that menus show, by
// name, with its icon and whether it is chosen. Veilmark's own entry is never offered. `filter`
// keeps the rows whose name, ID or keywords contain it; what is chosen stays chosen while hidden.
class DesktopEntryModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the view context")
    Q_PROPERTY(int chosenCount READ chosenCount NOTIFY chosenChanged)
    Q_PROPERTY(QString filter READ filter WRITE setFilter NOTIFY filterChanged)

public:
    enum Role
    {
        NameRole = Qt::UserRole + 1,
        PathRole,
        IdRole,
        IconRole,
        ChosenRole,
        HasIconRole,
    };

    explicit DesktopEntryModel(InstalledApps& installed, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Reads the installed entries again and forgets the choice.
    Q_INVOKABLE void reload();
    Q_INVOKABLE void toggle(int row);
    // The paths of the chosen entries, in list order.
    Q_INVOKABLE QStringList chosenPaths() const;
    int chosenCount() const { return int(m_chosen.size()); }
    const QString& filter() const { return m_filter; }
    void setFilter(const QString& filter);

signals:
    void chosenChanged();
    void filterChanged();

private:
    QImage icon(int row) const;
    void applyFilter();

    InstalledApps& m_installed;
    // Every offered application, sorted; the rows are those the filter keeps.
    QList<InstalledApps::Application> m_all;
    QList<InstalledApps::Application> m_rows;
    QString m_filter;
    // By path, so a choice survives filtering.
    QSet<QString> m_chosen;
    // By path: rows move as the filter changes.
    mutable QHash<QString, QImage> m_icons;
};
