#pragma once

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <optional>

// One protected folder, identified by its random id; `path` is absolute and standardized.
struct ProtectedFolder
{
    QUuid id;
    QString path;
    QString name;
    bool enabled = true;
    bool isLocked = true;
    qint64 unlockMinutes = 10;

    QJsonObject toJson() const;
    static std::optional<ProtectedFolder> fromJson(const QJsonValue& value);

    friend bool operator==(const ProtectedFolder&, const ProtectedFolder&) = default;
};

size_t qHash(const ProtectedFolder& folder, size_t seed = 0);
