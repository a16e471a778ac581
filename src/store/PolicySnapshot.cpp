#include "PolicySnapshot.h"

#include "model/JsonFields.h"

#include <QJsonDocument>
#include <QLocale>

namespace {
void report(QStringList* problems, const QString& problem)
{
    if (problems)
        problems->append(problem);
}
} // namespace

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

std::optional<PolicySnapshot> PolicySnapshot::decode(const QByteArray& bytes, QStringList* problems)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        report(problems, JsonFields::parseProblem(error));
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    const QJsonValue apps = root.value(QLatin1String("apps"));
    const QJsonValue folders = root.value(QLatin1String("folders"));
    const QJsonValue settings = root.value(QLatin1String("settings"));
    if (!document.isObject() || !apps.isArray() || !folders.isArray() || !settings.isObject()) {
        report(problems, QStringLiteral("not a policy (an object with apps, folders and settings)"));
        return std::nullopt;
    }
    PolicySnapshot snapshot;
    snapshot.apps = JsonFields::decodeEach<ProtectedApp>(apps.toArray(), QLatin1String("apps"),
                                                         QLatin1String("bundleID"), problems);
    snapshot.folders = JsonFields::decodeEach<ProtectedFolder>(folders.toArray(), QLatin1String("folders"),
                                                               QLatin1String("path"), problems);
    const auto limit = [problems](auto& records, qsizetype max, const char* what) {
        if (records.size() <= max)
            return;
        report(problems, QStringLiteral("%1 beyond the first %2 were left out (%3 of them)")
                             .arg(QLatin1String(what), QLocale(QLocale::English).toString(max))
                             .arg(records.size() - max));
        records.resize(max);
    };
    limit(snapshot.apps, MaxApps, "apps");
    limit(snapshot.folders, MaxFolders, "folders");
    if (const std::optional<VeilmarkSettings> decoded = VeilmarkSettings::fromJson(settings))
        snapshot.settings = *decoded;
    else
        report(problems, QStringLiteral("settings cannot be read; the defaults are used"));
    return snapshot;
}
