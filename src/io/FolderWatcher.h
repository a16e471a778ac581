#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

class QSocketNotifier;

// Tells when a watched directory may have become readable behind Veilmark's back: its mode
// changed (chmod), it was renamed, removed or replaced in its parent, or the mount table changed
// (a remount or a mount over it). The directories themselves cannot be watched while locked
// (inotify needs read access), so their parents are; a parent reports attribute changes of its
// entries too. Inotify and the pollable mountinfo cost nothing while nothing changes.
class FolderWatcher : public QObject
{
    Q_OBJECT

public:
    explicit FolderWatcher(QObject* parent = nullptr);
    ~FolderWatcher() override;

    // Replaces the watched set.
    void watch(const QStringList& directories);

signals:
    // The watched directories that may have changed; all of them when `paths` is empty.
    void changed(const QStringList& paths);

private:
    void readEvents();

    int m_inotify = -1;
    int m_mounts = -1;
    QSocketNotifier* m_inotifyNotifier = nullptr;
    QSocketNotifier* m_mountNotifier = nullptr;
    // Watch descriptor → the parent's path and the watched directories in it, by entry name.
    struct Parent
    {
        QString path;
        QHash<QString, QString> children;
    };
    QHash<int, Parent> m_parents;
};
