#include "io/AccessControlLock.h"

#include "io/DirectoryHandle.h"

#include <QCoreApplication>
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

// What restoring found in the attribute.
enum class Remembered
{
    none,
    usable,
    distrusted,
};

bool accessible(const char* path)
{
    // Listing alone is not enough: a directory with read but without search can be listed yet
    // none of its entries opened, and the other way round.
    if (DIR* dir = ::opendir(path)) {
        errno = 0;
        const bool listed = ::readdir(dir) != nullptr || errno == 0;
        ::closedir(dir);
        return listed && ::faccessat(AT_FDCWD, path, R_OK | X_OK, AT_EACCESS) == 0;
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

// `required`: owner bits without which the remembered value is not trusted (read and search for
// a directory); rwx is given instead.
std::optional<QString> restoreRememberedBits(const char* path, mode_t required, Remembered* found)
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
    *found = Remembered::none;
    char value[8];
    const ssize_t size = ::getxattr(path, kOwnerAttribute, value, sizeof value);
    if (size >= 0 || errno == ERANGE) {
        const auto bits = parseOwnerBits(value, size);
        if (bits && (*bits & required) == required) {
            owner = *bits;
            *found = Remembered::usable;
        } else {
            *found = Remembered::distrusted;
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

std::optional<QString> lockPath(const char* path)
{
    const std::optional<QString> error = removeOwnerBits(path);
    // A path that cannot be accessed for any reason, the lock's or another, counts as locked.
    if (!accessible(path)) {
        return std::nullopt;
    }
    return error ? error : QCoreApplication::translate("AccessControlLock", "still accessible after locking");
}

AccessControlLock::Unlocked unlockPath(const char* path, mode_t required)
{
    Remembered found = Remembered::none;
    const std::optional<QString> first = restoreRememberedBits(path, required, &found);
    const bool distrusted = found == Remembered::distrusted;
    if (accessible(path)) {
        return {std::nullopt, distrusted};
    }
    // The remembered bits did not allow access (or could not be set): open it to the owner fully.
    const std::optional<QString> second = grantOwnerEverything(path);
    if (accessible(path)) {
        return {std::nullopt, distrusted};
    }
    if (second) {
        return {second, distrusted};
    }
    return {first ? first : QCoreApplication::translate("AccessControlLock", "still locked after unlocking"),
            distrusted};
}

} // namespace

std::optional<QString> AccessControlLock::lockDirectory(const DirectoryHandle& directory)
{
    if (!directory.isOpen()) {
        return errorText(directory.error());
    }
    return lockPath(directory.descriptorPath().constData());
}

AccessControlLock::Unlocked AccessControlLock::unlockDirectory(const DirectoryHandle& directory)
{
    if (!directory.isOpen()) {
        return {errorText(directory.error())};
    }
    return unlockPath(directory.descriptorPath().constData(), S_IRUSR | S_IXUSR);
}

bool AccessControlLock::isAccessible(const DirectoryHandle& directory)
{
    return directory.isOpen() && accessible(directory.descriptorPath().constData());
}

std::optional<QString> AccessControlLock::lockAndVerify(const QString& path)
{
    return lockPath(QFile::encodeName(path).constData());
}

std::optional<QString> AccessControlLock::unlockAndVerify(const QString& path)
{
    return unlockPath(QFile::encodeName(path).constData(), 0).error;
}

bool AccessControlLock::isAccessible(const QString& path)
{
    return accessible(QFile::encodeName(path).constData());
}
