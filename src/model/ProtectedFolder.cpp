#include "ProtectedFolder.h"

#include "JsonFields.h"

#include <QHashFunctions>

QJsonObject ProtectedFolder::toJson() const
{
    QJsonObject object{
        {QLatin1String("id"), JsonFields::uuidText(id)},
        {QLatin1String("path"), path},
        {QLatin1String("name"), name},
        {QLatin1String("enabled"), enabled},
        {QLatin1String("isLocked"), isLocked},
        {QLatin1String("unlockMinutes"), unlockMinutes},
    };
    if (hasIdentity()) {
        // Stored as their 64-bit patterns; JSON numbers of Qt keep all 64 bits of an integer.
        object.insert(QLatin1String("device"), qint64(device));
        object.insert(QLatin1String("inode"), qint64(inode));
    }
    return object;
}

std::optional<ProtectedFolder> ProtectedFolder::fromJson(const QJsonValue& value)
{
    JsonFields fields(value);
    ProtectedFolder folder{
        fields.uuid(QLatin1String("id")),          fields.string(QLatin1String("path")),
        fields.string(QLatin1String("name")),      fields.boolean(QLatin1String("enabled")),
        fields.boolean(QLatin1String("isLocked")), fields.integer(QLatin1String("unlockMinutes")),
    };
    // Optional: records written before identities were kept have neither member.
    const QJsonObject object = value.toObject();
    if (object.contains(QLatin1String("device")) || object.contains(QLatin1String("inode"))) {
        folder.device = quint64(fields.integer(QLatin1String("device")));
        folder.inode = quint64(fields.integer(QLatin1String("inode")));
    }
    if (!fields.ok())
        return std::nullopt;
    return folder;
}

size_t qHash(const ProtectedFolder& folder, size_t seed)
{
    return qHashMulti(seed, folder.id, folder.path, folder.name, folder.enabled, folder.isLocked,
                      folder.unlockMinutes, folder.device, folder.inode);
}
