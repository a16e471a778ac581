#include "StatusReport.h"

#include "AppState.h"
#include "auth/SessionManager.h"
#include "folders/FolderLocations.h"
#include "folders/FolderProtectionEngine.h"
#include "io/DocumentFile.h"
#include "store/PolicySnapshot.h"
#include "store/PolicyStore.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QString stateName(FolderStatus::State state)
{
    switch (state) {
    case FolderStatus::State::locked:
        return QStringLiteral("locked");
    case FolderStatus::State::unlocked:
        return QStringLiteral("unlocked");
    case FolderStatus::State::missing:
        return QStringLiteral("missing");
    case FolderStatus::State::replaced:
        return QStringLiteral("replaced");
    case FolderStatus::State::notYours:
        return QStringLiteral("notYours");
    case FolderStatus::State::lockFailed:
        return QStringLiteral("lockFailed");
    }
    return {};
}

StatusReport::Entry folderEntry(const ProtectedFolder& folder, const FolderStatus& status,
                                const QDateTime& sessionEnds)
{
    const QString text =
        status.reason.isEmpty() ? status.text() : QStringLiteral("%1 — %2").arg(status.text(), status.reason);
    return {QStringLiteral("folder"),
            folder.id.toString(QUuid::WithoutBraces),
            folder.name,
            folder.path,
            folder.enabled,
            stateName(status.state),
            text,
            sessionEnds};
}

StatusReport::Entry appEntry(const ProtectedApp& app, const QString& state, const QString& text)
{
    return {QStringLiteral("app"), app.bundleID, app.name, app.appPath, app.enabled, state, text, {}};
}
} // namespace

StatusReport StatusReport::of(const AppState& state)
{
    StatusReport report;
    report.running = true;
    for (const ProtectedApp& app : state.policy()->apps()) {
        if (!app.enabled)
            report.entries.append(appEntry(app, QStringLiteral("off"), tr("Off")));
        else if (!state.appProtectionSupported())
            report.entries.append(appEntry(app, QStringLiteral("unwatched"),
                                           tr("Not watched — this session cannot hide applications")));
        else if (state.sessions()->isAppUnlocked(app.bundleID))
            report.entries.append(appEntry(app, QStringLiteral("unlocked"), tr("Unlocked")));
        else
            report.entries.append(appEntry(app, QStringLiteral("locked"), tr("Locked")));
    }
    for (const ProtectedFolder& folder : state.policy()->folders())
        report.entries.append(folderEntry(folder, state.folderEngine()->status(folder.id),
                                          state.sessions()->deadlineFor(folder.id)));
    return report;
}

std::optional<StatusReport> StatusReport::ofStoredPolicy(const QString& homePath,
                                                         const QString& dataDirectory, QString* error)
{
    const QString path = QDir(dataDirectory).filePath(QStringLiteral("policies.json"));
    const DocumentFile::ReadResult file = DocumentFile::read(path);
    StatusReport report;
    if (file.status == DocumentFile::ReadResult::Status::missing)
        return report;
    QStringList problems;
    const std::optional<PolicySnapshot> policy = file.status == DocumentFile::ReadResult::Status::read
                                                     ? PolicySnapshot::decode(file.bytes, &problems)
                                                     : std::nullopt;
    if (file.status == DocumentFile::ReadResult::Status::unreadable)
        problems.append(file.error);
    // What decodes is shown; what did not is said, never guessed at.
    if (!problems.isEmpty() && error)
        *error = tr("cannot read all of %1: %2").arg(path, problems.join(QStringLiteral("; ")));
    if (!policy)
        return std::nullopt;
    // Nothing hides a protected application while Veilmark is not running.
    for (const ProtectedApp& app : policy->apps)
        report.entries.append(app.enabled ? appEntry(app, QStringLiteral("unwatched"),
                                                     tr("Not watched — Veilmark is not running"))
                                          : appEntry(app, QStringLiteral("off"), tr("Off")));
    const FolderLocations locations(homePath, dataDirectory);
    for (const ProtectedFolder& folder : policy->folders)
        report.entries.append(folderEntry(folder, locations.probe(folder), {}));
    return report;
}

QByteArray StatusReport::toJson() const
{
    QJsonArray apps, folders;
    for (const Entry& entry : entries) {
        QJsonObject object{{QStringLiteral("id"), entry.id},       {QStringLiteral("name"), entry.name},
                           {QStringLiteral("path"), entry.path},   {QStringLiteral("enabled"), entry.enabled},
                           {QStringLiteral("state"), entry.state}, {QStringLiteral("text"), entry.text}};
        if (entry.sessionEnds.isValid())
            object.insert(QStringLiteral("sessionEnds"), entry.sessionEnds.toUTC().toString(Qt::ISODate));
        (entry.kind == QLatin1String("app") ? apps : folders).append(object);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("running"), running},
                                     {QStringLiteral("apps"), apps},
                                     {QStringLiteral("folders"), folders}})
        .toJson(QJsonDocument::Indented);
}

std::optional<StatusReport> StatusReport::fromJson(const QByteArray& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    const QJsonObject root = document.object();
    if (!document.isObject() || !root.value(QStringLiteral("apps")).isArray() ||
        !root.value(QStringLiteral("folders")).isArray())
        return std::nullopt;
    StatusReport report;
    report.running = root.value(QStringLiteral("running")).toBool();
    for (const QString& kind : {QStringLiteral("app"), QStringLiteral("folder")}) {
        for (const QJsonValue value : root.value(kind + QLatin1Char('s')).toArray()) {
            const QJsonObject object = value.toObject();
            const QString ends = object.value(QStringLiteral("sessionEnds")).toString();
            report.entries.append({kind, object.value(QStringLiteral("id")).toString(),
                                   object.value(QStringLiteral("name")).toString(),
                                   object.value(QStringLiteral("path")).toString(),
                                   object.value(QStringLiteral("enabled")).toBool(),
                                   object.value(QStringLiteral("state")).toString(),
                                   object.value(QStringLiteral("text")).toString(),
                                   ends.isEmpty() ? QDateTime() : QDateTime::fromString(ends, Qt::ISODate)});
        }
    }
    return report;
}

QString StatusReport::toTable() const
{
    QList<QStringList> rows{{tr("KIND"), tr("NAME"), tr("STATE"), tr("SESSION ENDS"), tr("PATH")}};
    for (const Entry& entry : entries)
        rows.append({entry.kind == QLatin1String("app") ? tr("app") : tr("folder"), entry.name, entry.text,
                     entry.sessionEnds.isValid()
                         ? QLocale().toString(entry.sessionEnds.toLocalTime().time(), QLocale::ShortFormat)
                         : QString(),
                     entry.path});
    QList<qsizetype> widths(rows.first().size(), 0);
    for (const QStringList& row : rows) {
        for (qsizetype column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    }
    QString table;
    if (!running)
        table += tr("Veilmark is not running: folders probed on disk, from the stored policy.") +
                 QLatin1Char('\n');
    if (entries.isEmpty())
        return table + tr("Nothing is protected.") + QLatin1Char('\n');
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype column = 0; column < row.size(); ++column)
            line += row[column].leftJustified(column + 1 < row.size() ? widths[column] + 2 : 0);
        table += line.trimmed() + QLatin1Char('\n');
    }
    return table;
}
