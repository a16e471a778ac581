#pragma once

#include "FolderStatus.h"
#include "model/ProtectedFolder.h"

#include <QSet>
#include <QString>

#include <optional>

class DirectoryHandle;

// Where a protected folder may be, and whether the directory found at its path is still the one
// that was protected: the checks made before any lock or unlock touches a directory. The folder
// engine and the guardian (which relocks from the stored policy once Veilmark is gone) both lock
// through here, so neither can lock something the other would refuse.
class FolderLocations
{
public:
    FolderLocations(const QString& homePath, const QString& dataDirectory);

    // Whether a directory that really is at `resolvedPath` (symbolic links resolved) may be locked:
    // inside the home, not a forbidden folder, not Veilmark's data or anything holding it.
    bool isAllowed(const QString& resolvedPath) const;
    // The status of a directory that cannot be the folder's, or nothing when it is. A record stored
    // without an identity adopts the directory it finds (once, for documents written before
    // identities were kept).
    std::optional<FolderStatus> mismatch(const DirectoryHandle& directory, ProtectedFolder& folder) const;
    // Opens the folder's path and, when the directory there is the folder's, locks it: the status is
    // locked, or says why not. Once locked, `resolvedPath` (if given) is where the directory really is.
    FolderStatus lock(ProtectedFolder& folder, QString* resolvedPath = nullptr) const;
    // What the folder is on disk now, without changing anything: locked only when it cannot be
    // opened; one that should be locked and can be opened is a failed lock.
    FolderStatus probe(ProtectedFolder folder) const;

private:
    QSet<QString> m_resolvedForbidden;
    QString m_resolvedHome;
    QString m_resolvedDataDirectory;
};
