#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>

#include <optional>

// One protected application, identified by its bundle identifier (the desktop-file ID).
struct ProtectedApp
{
    QString bundleID;
    QString name;
    QString appPath;
    bool enabled = true;
    bool relockOnFocusLoss = true;

    const QString& id() const { return bundleID; }

    QJsonObject toJson() const;
    static std::optional<ProtectedApp> fromJson(const QJsonValue& value);

    friend bool operator==(const ProtectedApp&, const ProtectedApp&) = default;
};

size_t qHash(const ProtectedApp& app, size_t seed = 0);
