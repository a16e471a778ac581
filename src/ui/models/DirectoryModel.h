#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

// The directory chooser's listing: the sub-directories of `currentPath` (hidden ones left out),
// and the directories chosen so far, which may lie in different parents.
class DirectoryModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the view context")
    Q_PROPERTY(QString currentPath READ currentPath NOTIFY currentPathChanged)
    Q_PROPERTY(QString displayPath READ displayPath NOTIFY currentPathChanged)
    Q_PROPERTY(int chosenCount READ chosenCount NOTIFY chosenChanged)

public:
    enum Role
    {
        NameRole = Qt::UserRole + 1,
        PathRole,
        ChosenRole,
    };

    explicit DirectoryModel(const QString& homePath, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QString& currentPath() const { return m_currentPath; }
    QString displayPath() const;
    int chosenCount() const { return int(m_chosen.size()); }

    // Back to the home directory with nothing chosen.
    Q_INVOKABLE void reset();
    Q_INVOKABLE void enter(int row);
    Q_INVOKABLE void up();
    Q_INVOKABLE void toggle(int row);
    Q_INVOKABLE QStringList chosenPaths() const { return m_chosen; }

signals:
    void currentPathChanged();
    void chosenChanged();

private:
    void list(const QString& path);

    QString m_homePath;
    QString m_currentPath;
    QStringList m_entries;
    QStringList m_chosen;
};
