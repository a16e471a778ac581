#include "ProtectedFolder.h"

#include "JsonFields.h"

#include <QHashFunctions>

QJsonObject ProtectedFolder::toJson() const
{
    return {
        {QLatin1String("id"), JsonFields::uuidText(id)},
        {QLatin1String("path"), path},
        {QLatin1String("name"), name},
        {QLatin1String("enabled"), enabled},
        {QLatin1String("isLocked"), isLocked},
        {QLatin1String("unlockMinutes"), unlockMinutes},
    };
}

std::optional<ProtectedFolder> ProtectedFolder::fromJson(const QJsonValue& value)
{
    JsonFields fields(value);
    ProtectedFolder folder{
        fields.uuid(QLatin1String("id")),          fields.string(QLatin1String("path")),
        fields.string(QLatin1String("name")),      fields.boolean(QLatin1String("enabled")),
        fields.boolean(QLatin1String("isLocked")), fields.integer(QLatin1String("unlockMinutes")),
    };
    if (!fields.ok())
        return std::nullopt;
    return folder;
}

size_t qHash(const ProtectedFolder& folder, size_t seed)
{
    return qHashMulti(seed, folder.id, folder.path, folder.name, folder.enabled, folder.isLocked,
                      folder.unlockMinutes);
}
