#include "platform/linux/FileSecretStore.h"

#include "io/DataDirectory.h"
#include "io/DocumentFile.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// The document's items; nullopt when the file exists but cannot be read.
std::optional<QJsonObject> load(const QString& path, QString* error)
{
    const DocumentFile::ReadResult file = DocumentFile::read(path);
    if (file.status == DocumentFile::ReadResult::Status::missing)
        return QJsonObject();
    if (file.status == DocumentFile::ReadResult::Status::unreadable) {
        if (error)
            *error = QCoreApplication::translate("FileSecretStore", "Could not read %1.").arg(path);
        return std::nullopt;
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.bytes);
    return document.isObject() ? document.object() : QJsonObject();
}

std::optional<QByteArray> secretIn(const QJsonObject& items, const QString& service, const QString& account)
{
    const QJsonValue value = items.value(service).toObject().value(account);
    if (!value.isString())
        return std::nullopt;
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(value.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return decoded.decoded;
}
} // namespace

QString FileSecretStore::filePath() const
{
    return DataDirectory::filePath(QLatin1String(FileName));
}

SecretStore::Presence FileSecretStore::lookup(const QString& service, const QString& account)
{
    const std::optional<QJsonObject> items = load(filePath(), nullptr);
    if (!items)
        return Presence::unavailable;
    return secretIn(*items, service, account) ? Presence::found : Presence::notFound;
}

std::optional<QString> FileSecretStore::store(const QString& service, const QString& account,
                                              const QByteArray& secret)
{
    const QString path = filePath();
    QString error;
    std::optional<QJsonObject> items = load(path, &error);
    // Replacing a file we cannot read could drop other items in it.
    if (!items)
        return error;
    QJsonObject accounts = items->value(service).toObject();
    accounts.insert(account, QString::fromLatin1(secret.toBase64()));
    items->insert(service, accounts);
    DocumentFile::removeLeftovers(path);
    return DocumentFile::write(path, QJsonDocument(*items).toJson(QJsonDocument::Compact),
                               DocumentFile::Durability::Synced);
}

SecretStore::Presence FileSecretStore::read(const QString& service, const QString& account,
                                            QByteArray* secret, QString* error)
{
    const std::optional<QJsonObject> items = load(filePath(), error);
    if (!items)
        return Presence::unavailable;
    const std::optional<QByteArray> found = secretIn(*items, service, account);
    if (!found)
        return Presence::notFound;
    if (secret)
        *secret = *found;
    return Presence::found;
}
