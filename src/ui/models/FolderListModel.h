#pragma once

#include "RecordListModel.h"
#include "folders/FolderStatus.h"
#include "model/ProtectedFolder.h"

#include <QtQml/qqmlregistration.h>

#include <utility>

class AppState;

// The protected folders as rows for the views, and the actions a row offers. `enabledOnly`
// keeps just the records whose protection is on (the tray panel). A row shows what the folder
// engine probed on disk, never just the stored wish: "locked" is true only for a folder that
// cannot be opened, and a folder that is missing, replaced or failed to lock says so.
class FolderListModel : public RecordListModel<std::pair<ProtectedFolder, FolderStatus>>
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the view context")
    Q_PROPERTY(int count READ count NOTIFY countsChanged)
    Q_PROPERTY(int lockedCount READ lockedCount NOTIFY countsChanged)

public:
    enum Role
    {
        IdRole = Qt::UserRole + 1,
        NameRole,
        PathRole,
        DisplayPathRole,
        LockedRole,
        // "Locked", "Unlocked", "Missing", "Moved or replaced", "Not yours", "Lock failed".
        StateRole,
        // The OS's or the engine's reason for a problem; empty when all is well.
        ProblemRole,
        // Missing, moved or replaced, or not yours: nothing to lock or unlock at the path.
        UnreachableRole,
    };

    FolderListModel(AppState& state, const QString& homePath, bool enabledOnly, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return int(m_rows.size()); }
    // Enabled records whose folder is locked on disk.
    int lockedCount() const;
    // The path with the home directory at its start written as "~".
    static QString displayPath(const QString& path, const QString& homePath);
    // Missing, moved or replaced, or not yours: nothing to lock or unlock at the path.
    static bool isUnreachable(const FolderStatus& status);

    Q_INVOKABLE void lock(const QString& id);
    Q_INVOKABLE void unlock(const QString& id);
    Q_INVOKABLE void remove(const QString& id);
    Q_INVOKABLE void addFolders(const QStringList& paths);

signals:
    void countsChanged();

private:
    void rebuild();
    std::optional<ProtectedFolder> find(const QString& id) const;

    using Row = std::pair<ProtectedFolder, FolderStatus>;

    AppState& m_state;
    QString m_homePath;
    bool m_enabledOnly;
};
