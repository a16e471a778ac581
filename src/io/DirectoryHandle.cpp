#include "io/DirectoryHandle.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace {
// Magic numbers of file systems whose owner bits are synthesized from mount options.
constexpr long kExfatMagic = 0x2011BAB0;
constexpr long kNtfsMagic = 0x5346544E;
constexpr long kFuseMagic = 0x65735546;
constexpr long kCifsMagic = static_cast<long>(0xFF534D42);
constexpr long kSmb2Magic = static_cast<long>(0xFE534D42);

// A FUSE mount leaves permission checks to its daemon unless mounted with default_permissions.
bool fuseChecksPermissions(dev_t device)
{
    QFile mounts(QStringLiteral("/proc/self/mountinfo"));
    if (!mounts.open(QIODevice::ReadOnly))
        return false;
    const QByteArray id = QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
    // "36 35 0:45 / /mnt/x rw,nosuid - fuse.sshfs host:/ rw,user_id=1000,default_permissions"
    while (!mounts.atEnd()) {
        const QByteArray line = mounts.readLine(8192);
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3 || fields.at(2) != id)
            continue;
        const qsizetype separator = line.indexOf(" - ");
        return separator >= 0 && line.indexOf("default_permissions", separator) >= 0;
    }
    return false;
}
} // namespace

DirectoryHandle DirectoryHandle::open(const QString& path)
{
    DirectoryHandle handle;
    handle.m_fd = ::open(QFile::encodeName(path).constData(), O_PATH | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC);
    if (handle.m_fd < 0) {
        handle.m_error = errno;
        // O_NOFOLLOW|O_DIRECTORY reports a symbolic link in the last component as ENOTDIR.
        handle.m_status = errno == ENOENT                      ? Status::missing
                          : errno == ENOTDIR || errno == ELOOP ? Status::notDirectory
                                                               : Status::failed;
        return handle;
    }
    struct stat st;
    if (::fstat(handle.m_fd, &st) != 0) {
        handle.m_error = errno;
        return handle;
    }
    handle.m_status = Status::open;
    handle.m_device = st.st_dev;
    handle.m_inode = st.st_ino;
    handle.m_owner = st.st_uid;
    handle.m_descriptorPath = "/proc/self/fd/" + QByteArray::number(handle.m_fd);
    return handle;
}

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
{
    *this = std::move(other);
}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_status = other.m_status;
        m_error = other.m_error;
        m_device = other.m_device;
        m_inode = other.m_inode;
        m_owner = other.m_owner;
        m_descriptorPath = std::move(other.m_descriptorPath);
    }
    return *this;
}

DirectoryHandle::~DirectoryHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString DirectoryHandle::resolvedPath() const
{
    if (!isOpen())
        return {};
    char buffer[4096];
    const ssize_t size = ::readlink(m_descriptorPath.constData(), buffer, sizeof buffer);
    if (size <= 0 || size >= ssize_t(sizeof buffer))
        return {};
    return QFile::decodeName(QByteArray(buffer, size));
}

std::optional<QString> DirectoryHandle::unsupportedFileSystem() const
{
    struct statfs fs;
    if (!isOpen() || ::fstatfs(m_fd, &fs) != 0)
        return std::nullopt;
    switch (static_cast<long>(fs.f_type)) {
    case MSDOS_SUPER_MAGIC:
        return QStringLiteral("FAT");
    case kExfatMagic:
        return QStringLiteral("exFAT");
    case kNtfsMagic:
        return QStringLiteral("NTFS");
    case kCifsMagic:
    case kSmb2Magic:
        return QStringLiteral("SMB");
    case kFuseMagic:
        if (!fuseChecksPermissions(static_cast<dev_t>(m_device)))
            return QStringLiteral("FUSE");
        return std::nullopt;
    default:
        return std::nullopt;
    }
}
