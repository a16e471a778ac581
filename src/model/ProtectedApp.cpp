#include "ProtectedApp.h"

#include "JsonFields.h"

#include <QHashFunctions>

QJsonObject ProtectedApp::toJson() const
{
    return {
        {QLatin1String("bundleID"), bundleID},
        {QLatin1String("name"), name},
        {QLatin1String("appPath"), appPath},
        {QLatin1String("enabled"), enabled},
        {QLatin1String("relockOnFocusLoss"), relockOnFocusLoss},
    };
}

std::optional<ProtectedApp> ProtectedApp::fromJson(const QJsonValue& value)
{
    JsonFields fields(value);
    ProtectedApp app{
        fields.string(QLatin1String("bundleID")),
        fields.string(QLatin1String("name")),
        fields.string(QLatin1String("appPath")),
        fields.boolean(QLatin1String("enabled")),
        fields.boolean(QLatin1String("relockOnFocusLoss")),
    };
    if (!fields.ok())
        return std::nullopt;
    return app;
}

size_t qHash(const ProtectedApp& app, size_t seed)
{
    return qHashMulti(seed, app.bundleID, app.name, app.appPath, app.enabled, app.relockOnFocusLoss);
}
