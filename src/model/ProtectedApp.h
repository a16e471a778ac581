#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>

#include <optional>

// One protected application, identified by its bundle identifier (the desktop-file ID).
struct ProtectedApp
{
    Q_GADGET
    Q_PROPERTY(QString bundleID MEMBER bundleID)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString appPath MEMBER appPath)
    Q_PROPERTY(bool enabled MEMBER enabled)
    Q_PROPERTY(bool relockOnFocusLoss MEMBER relockOnFocusLoss)

public:
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
