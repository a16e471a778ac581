#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

// A descriptor on one directory, opened with O_PATH without following a symbolic link in the
// last component. Everything done after opening (identity, owner, mode changes, the access
// probe) goes through the descriptor, so it all concerns the directory that was checked, even
// if the path is swapped for something else meanwhile.
class DirectoryHandle
{
public:
    enum class Status
    {
        open,
        // Nothing at the path.
        missing,
        // A symbolic link, a file or anything else that is not a directory is at the path.
        notDirectory,
        // Any other failure; error() says which.
        failed,
    };

    static DirectoryHandle open(const QString& path);

    DirectoryHandle(DirectoryHandle&& other) noexcept;
    DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;
    ~DirectoryHandle();

    Status status() const { return m_status; }
    bool isOpen() const { return m_status == Status::open; }
    // The errno of a failed open.
    int error() const { return m_error; }
    quint64 device() const { return m_device; }
    quint64 inode() const { return m_inode; }
    uid_t owner() const { return m_owner; }
    // "/proc/self/fd/N": path-based calls given this name act on the opened directory itself
    // (the kernel resolves it to the descriptor's inode, not by walking the original path).
    const QByteArray& descriptorPath() const { return m_descriptorPath; }
    // Where the directory really is now, every symbolic link on the way resolved.
    QString resolvedPath() const;
    // The file system's name when owner permissions mean nothing on it (FAT, exFAT, NTFS,
    // SMB, FUSE without default_permissions), where clearing them locks nothing.
    std::optional<QString> unsupportedFileSystem() const;

private:
    DirectoryHandle() = default;

    int m_fd = -1;
    Status m_status = Status::failed;
    int m_error = 0;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    uid_t m_owner = 0;
    QByteArray m_descriptorPath;
};
