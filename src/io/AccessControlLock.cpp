#include "io/AccessControlLock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr const char* kOwnerAttribute = "user.veilmark.owner";
constexpr mode_t kOwnerReadWrite = S_IRUSR | S_IWUSR;
constexpr mode_t kPermissionBits = 07777;

QString errorText(int error)
{
    char buffer[256];
    // GNU strerror_r: returns the text, which may or may not live in buffer.
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

// The attribute holds the owner bits as one octal digit ("7" for rwx). Zero is never stored:
// locking does not remember anything when the owner bits are already gone.
std::optional<mode_t> parseOwnerBits(const char* value, ssize_t size)
{
    if (size != 1 || value[0] < '1' || value[0] > '7') {
        return std::nullopt;
    }
    return static_cast<mode_t>(value[0] - '0') << 6;
}

bool accessible(const char* path)
{
    if (DIR* dir = ::opendir(path)) {
        errno = 0;
        const bool listed = ::readdir(dir) != nullptr || errno == 0;
        ::closedir(dir);
        return listed;
    }
    if (errno != ENOTDIR) {
        return false;
    }
    // O_NONBLOCK so that a FIFO cannot hang the probe.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

std::optional<QString> removeOwnerBits(const char* path)
{
    struct stat st;
    if (::stat(path, &st) != 0) {
        return errorText(errno);
    }
    const mode_t mode = st.st_mode & kPermissionBits;
    const mode_t owner = mode & S_IRWXU;

    // Owner bits of 0 mean locked already (by us or from outside): remembering them would
    // overwrite the bits saved by the first lock.
    bool remembered = false;
    if (owner != 0) {
        // user.* attributes need the owner's write permission.
        if ((mode & kOwnerReadWrite) != kOwnerReadWrite) {
            ::chmod(path, mode | kOwnerReadWrite);
        }
        const char digit = static_cast<char>('0' + (owner >> 6));
        // Any failure (ENOTSUP on file systems without user attributes, quota, ...) only costs
        // exactness on unlock, which then gives rwx; it must not keep the path open.
        remembered = ::setxattr(path, kOwnerAttribute, &digit, 1, 0) == 0;
    }

    if (::chmod(path, mode & ~S_IRWXU) != 0) {
        const int error = errno;
        // Not ours to lock (e.g. owned by someone else but writable): leave no trace.
        if (remembered) {
            ::removexattr(path, kOwnerAttribute);
        }
        ::chmod(path, mode);
        return errorText(error);
    }
    return std::nullopt;
}

std::optional<QString> restoreRememberedBits(const char* path)
{
    struct stat st;
    if (::stat(path, &st) != 0) {
        return errorText(errno);
    }
    const mode_t mode = st.st_mode & kPermissionBits;
    // Reading and removing a user.* attribute needs the owner's read and write bits.
    if ((mode & kOwnerReadWrite) != kOwnerReadWrite && ::chmod(path, mode | kOwnerReadWrite) != 0) {
        return errorText(errno);
    }

    mode_t owner = S_IRWXU;
    char value[8];
    const ssize_t size = ::getxattr(path, kOwnerAttribute, value, sizeof value);
    if (size >= 0 || errno == ERANGE) {
        if (const auto bits = parseOwnerBits(value, size)) {
            owner = *bits;
        }
        ::removexattr(path, kOwnerAttribute);
    }

    if (::chmod(path, (mode & ~S_IRWXU) | owner) != 0) {
        return errorText(errno);
    }
    return std::nullopt;
}

std::optional<QString> grantOwnerEverything(const char* path)
{
    struct stat st;
    if (::stat(path, &st) != 0) {
        return errorText(errno);
    }
    if (::chmod(path, (st.st_mode & kPermissionBits) | S_IRWXU) != 0) {
        return errorText(errno);
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> AccessControlLock::lockAndVerify(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    const std::optional<QString> error = removeOwnerBits(encoded.constData());
    // A path that cannot be accessed for any reason, the lock's or another, counts as locked.
    if (!accessible(encoded.constData())) {
        return std::nullopt;
    }
    return error ? error : QStringLiteral("still accessible after locking");
}

std::optional<QString> AccessControlLock::unlockAndVerify(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    const std::optional<QString> first = restoreRememberedBits(encoded.constData());
    if (accessible(encoded.constData())) {
        return std::nullopt;
    }
    // The remembered bits did not allow access (or could not be set): open it to the owner fully.
    const std::optional<QString> second = grantOwnerEverything(encoded.constData());
    if (accessible(encoded.constData())) {
        return std::nullopt;
    }
    if (second) {
        return second;
    }
    return first ? first : QStringLiteral("still locked after unlocking");
}

bool AccessControlLock::isAccessible(const QString& path)
{
    return accessible(QFile::encodeName(path).constData());
}
