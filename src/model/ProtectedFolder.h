#pragma once

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <optional>

// One protected folder, identified by its random id; `path` is absolute and standardized.
// `device` and `inode` name the directory that was protected, so that another directory put in
// its place is not taken for it; both are 0 for records stored before they were kept.
struct ProtectedFolder
{
    QUuid id;
    QString path;
    QString name;
    bool enabled = true;
    bool isLocked = true;
    qint64 unlockMinutes = 10;
    quint64 device = 0;
    quint64 inode = 0;

    bool hasIdentity() const { return inode != 0; }

    QJsonObject toJson() const;
    static std::optional<ProtectedFolder> fromJson(const QJsonValue& value);

    friend bool operator==(const ProtectedFolder&, const ProtectedFolder&) = default;
};

size_t qHash(const ProtectedFolder& folder, size_t seed = 0);
