#pragma once

#include "RecordListModel.h"
#include "model/ProtectedApp.h"

#include <QtQml/qqmlregistration.h>

#include <utility>

class AppState;

// The protected applications as rows for the views, each with its lock state, and the actions
// a row offers. `enabledOnly` keeps just the records whose protection is on (the tray panel).
// Unlocking or relocking one application changes its own row only.
class AppListModel : public RecordListModel<std::pair<ProtectedApp, bool>>
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the view context")
    Q_PROPERTY(int count READ count NOTIFY countsChanged)
    Q_PROPERTY(int lockedCount READ lockedCount NOTIFY countsChanged)

public:
    enum Role
    {
        BundleIdRole = Qt::UserRole + 1,
        NameRole,
        AppPathRole,
        EnabledRole,
        UnlockedRole,
        IconRole,
        HasIconRole,
    };

    AppListModel(AppState& state, bool enabledOnly, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return int(m_rows.size()); }
    // Enabled records that are not unlocked right now.
    int lockedCount() const;

    Q_INVOKABLE void unlock(const QString& bundleID);
    Q_INVOKABLE void relock(const QString& bundleID);
    Q_INVOKABLE void setProtection(const QString& bundleID, bool enabled);
    Q_INVOKABLE void remove(const QString& bundleID);
    // Returns how many applications were added.
    Q_INVOKABLE int addDesktopEntries(const QStringList& paths);

signals:
    void countsChanged();

private:
    void rebuild();
    std::optional<ProtectedApp> find(const QString& bundleID) const;
    QImage icon(const QString& appPath) const;

    // The record and whether it is unlocked right now.
    using Row = std::pair<ProtectedApp, bool>;

    AppState& m_state;
    bool m_enabledOnly;
    mutable QHash<QString, QImage> m_icons;
};
