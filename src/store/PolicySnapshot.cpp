#include "PolicySnapshot.h"

#include "model/JsonFields.h"

#include <QCoreApplication>
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
        report(problems, QCoreApplication::translate(
                             "PolicySnapshot", "not a policy (an object with apps, folders and settings)"));
        return std::nullopt;
    }
    PolicySnapshot snapshot;
    snapshot.apps = JsonFields::decodeEach<ProtectedApp>(apps.toArray(), QLatin1String("apps"),
                                                         QLatin1String("bundleID"), problems);
    snapshot.folders = JsonFields::decodeEach<ProtectedFolder>(folders.toArray(), QLatin1String("folders"),
                                                               QLatin1String("path"), problems);
    // `problem` has the limit as %1 and the number left out as %2.
    const auto limit = [problems](auto& records, qsizetype max, const QString& problem) {
        if (records.size() <= max)
            return;
        report(problems, problem.arg(QLocale().toString(max), QLocale().toString(records.size() - max)));
        records.resize(max);
    };
    limit(
        snapshot.apps, MaxApps,
        QCoreApplication::translate("PolicySnapshot", "apps beyond the first %1 were left out (%2 of them)"));
    limit(snapshot.folders, MaxFolders,
          QCoreApplication::translate("PolicySnapshot",
                                      "folders beyond the first %1 were left out (%2 of them)"));
    if (const std::optional<VeilmarkSettings> decoded = VeilmarkSettings::fromJson(settings))
        snapshot.settings = *decoded;
    else
        report(problems, QCoreApplication::translate("PolicySnapshot",
                                                     "settings cannot be read; the defaults are used"));
    return snapshot;
}
