#include "FolderLocations.h"

#include "ForbiddenPaths.h"
#include "io/AccessControlLock.h"
#include "io/DirectoryHandle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstring>
#include <unistd.h>

namespace {
bool isInside(const QString& path, const QString& ancestor)
{
    return path.startsWith(ancestor + QLatin1Char('/'));
}

QString resolved(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

FolderStatus failed(FolderStatus::State state, const QString& reason)
{
    return FolderStatus{state, reason};
}
} // namespace

FolderLocations::FolderLocations(const QString& homePath, const QString& dataDirectory)
    : m_resolvedHome(resolved(QDir::cleanPath(homePath)))
    , m_resolvedDataDirectory(resolved(QDir::cleanPath(dataDirectory)))
{
    // Both spellings of each: the stored one and the one with every symbolic link resolved.
    for (const QString& path : ForbiddenPaths::forHome(QDir::cleanPath(homePath))) {
        m_resolvedForbidden.insert(path);
        m_resolvedForbidden.insert(resolved(path));
    }
}

bool FolderLocations::isAllowed(const QString& resolvedPath) const
{
    if (resolvedPath.isEmpty() || m_resolvedForbidden.contains(resolvedPath) ||
        !isInside(resolvedPath, m_resolvedHome))
        return false;
    return resolvedPath != m_resolvedDataDirectory && !isInside(m_resolvedDataDirectory, resolvedPath);
}

std::optional<FolderStatus> FolderLocations::mismatch(const DirectoryHandle& directory,
                                                      ProtectedFolder& folder) const
{
    using State = FolderStatus::State;
    switch (directory.status()) {
    case DirectoryHandle::Status::open:
        break;
    case DirectoryHandle::Status::missing:
        return failed(State::missing,
                      QCoreApplication::translate("FolderLocations", "nothing is at %1").arg(folder.path));
    case DirectoryHandle::Status::notDirectory:
        return failed(
            State::replaced,
            QCoreApplication::translate("FolderLocations", "a link or a file is at %1").arg(folder.path));
    case DirectoryHandle::Status::failed:
        return failed(State::missing, QString::fromLocal8Bit(std::strerror(directory.error())));
    }
    if (directory.owner() != ::geteuid())
        return failed(State::notYours,
                      QCoreApplication::translate("FolderLocations", "it belongs to another user"));
    if (folder.hasIdentity() && (directory.device() != folder.device || directory.inode() != folder.inode))
        return failed(
            State::replaced,
            QCoreApplication::translate("FolderLocations", "another folder is at %1").arg(folder.path));
    // Checked again at every lock: a parent swapped for a link can lead anywhere.
    const QString resolvedPath = directory.resolvedPath();
    if (!isAllowed(resolvedPath))
        return failed(State::replaced,
                      QCoreApplication::translate("FolderLocations", "it now leads to %1").arg(resolvedPath));
    if (!folder.hasIdentity()) {
        folder.device = directory.device();
        folder.inode = directory.inode();
    }
    return std::nullopt;
}

FolderStatus FolderLocations::lock(ProtectedFolder& folder, QString* resolvedPath) const
{
    const DirectoryHandle directory = DirectoryHandle::open(folder.path);
    if (const std::optional<FolderStatus> other = mismatch(directory, folder))
        return *other;
    if (const std::optional<QString> error = AccessControlLock::lockDirectory(directory))
        return failed(FolderStatus::State::lockFailed, *error);
    if (resolvedPath)
        *resolvedPath = directory.resolvedPath();
    return FolderStatus{FolderStatus::State::locked, {}};
}

FolderStatus FolderLocations::probe(ProtectedFolder folder) const
{
    const DirectoryHandle directory = DirectoryHandle::open(folder.path);
    if (const std::optional<FolderStatus> other = mismatch(directory, folder))
        return *other;
    if (!AccessControlLock::isAccessible(directory))
        return FolderStatus{FolderStatus::State::locked, {}};
    if (folder.enabled && folder.isLocked)
        return failed(FolderStatus::State::lockFailed,
                      QCoreApplication::translate("FolderProtectionEngine", "it can be opened"));
    return FolderStatus{FolderStatus::State::unlocked, {}};
}
