#include "PolicyRelock.h"

#include "apps/AppProtectionEngine.h"
#include "folders/FolderLocations.h"
#include "io/AccessControlLock.h"
#include "io/DocumentFile.h"
#include "store/EventLog.h"
#include "store/PolicySnapshot.h"

#include <QDir>

namespace {
QString joined(const QStringList& names)
{
    return names.join(QStringLiteral(", "));
}
} // namespace

PolicyRelock::Result PolicyRelock::run(EventLog& log, const QString& homePath, const QString& dataDirectory,
                                       const QString& cause, Origin origin)
{
    Result result;
    const DocumentFile::ReadResult file =
        DocumentFile::read(QDir(dataDirectory).filePath(QStringLiteral("policies.json")));
    QStringList problems;
    std::optional<PolicySnapshot> policy;
    if (file.status == DocumentFile::ReadResult::Status::read)
        policy = PolicySnapshot::decode(file.bytes, &problems);
    else if (file.status == DocumentFile::ReadResult::Status::unreadable)
        problems.append(file.error);
    // Whatever records decode are relocked; what did not is reported, never guessed at.
    for (const QString& problem : std::as_const(problems))
        result.failed.append(QStringLiteral("policies.json: ") + problem);

    if (policy) {
        const FolderLocations locations(homePath, dataDirectory);
        for (ProtectedFolder folder : std::as_const(policy->folders)) {
            if (!folder.enabled)
                continue;
            const bool wasOpen = AccessControlLock::isAccessible(folder.path);
            const FolderStatus status = locations.lock(folder);
            if (!status.isLocked())
                result.failed.append(
                    status.reason.isEmpty()
                        ? QStringLiteral("%1: %2").arg(folder.name, status.text())
                        : QStringLiteral("%1: %2 — %3").arg(folder.name, status.text(), status.reason));
            else if (wasOpen)
                result.relocked.append(folder.name);
        }
        // The same entries the application engine locks: never Veilmark's own, never one the package
        // manager owns.
        for (const ProtectedApp& app : std::as_const(policy->apps)) {
            if (!app.enabled || app.bundleID == AppProtectionEngine::OwnBundleID ||
                AppProtectionEngine::isSystemLocation(app.appPath))
                continue;
            const bool wasOpen = AccessControlLock::isAccessible(app.appPath);
            if (const std::optional<QString> error = AccessControlLock::lockAndVerify(app.appPath))
                result.failed.append(app.name + QStringLiteral(": ") + *error);
            else if (wasOpen)
                result.relocked.append(app.name);
        }
    }

    const bool guardian = origin == Origin::guardian;
    log.record(LogEventKind::systemRelock,
               guardian ? tr("Relocked by the guardian") : tr("Locked from the command line"),
               result.relocked.isEmpty() ? tr("%1 — nothing was open").arg(cause)
                                         : tr("%1 — relocked %2").arg(cause, joined(result.relocked)));
    if (!result.failed.isEmpty())
        log.record(LogEventKind::error,
                   guardian ? tr("Guardian relock failed") : tr("Lock from the command line failed"),
                   joined(result.failed));
    return result;
}
