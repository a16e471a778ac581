#include "PolicySnapshot.h"

#include "model/JsonFields.h"

#include <QJsonDocument>

QByteArray PolicySnapshot::encode() const
{
    // QJsonObject keeps its keys sorted, which gives the ascending member order on every level.
    const QJsonObject root{
        {QLatin1String("apps"), JsonFields::encodeArray(apps)},
        {QLatin1String("folders"), JsonFields::encodeArray(folders)},
        {QLatin1String("settings"), settings.toJson()},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<PolicySnapshot> PolicySnapshot::decode(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    auto apps = JsonFields::decodeArray<ProtectedApp>(root.value(QLatin1String("apps")));
    auto folders = JsonFields::decodeArray<ProtectedFolder>(root.value(QLatin1String("folders")));
    auto settings = VeilmarkSettings::fromJson(root.value(QLatin1String("settings")));
    if (!apps || !folders || !settings)
        return std::nullopt;
    return PolicySnapshot{std::move(*apps), std::move(*folders), *settings};
}
