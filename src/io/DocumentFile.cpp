#include "DocumentFile.h"

#include "io/Logging.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString errorText(int error)
{
    // With O_NOFOLLOW a symbolic link in the document's place fails with ELOOP, whose text
    // ("Too many levels of symbolic links") would send the user looking for a loop.
    if (error == ELOOP)
        return QCoreApplication::translate("DocumentFile", "it is a symbolic link");
    return QString::fromLocal8Bit(std::strerror(error));
}

DocumentFile::ReadResult unreadable(const QString& reason)
{
    return {DocumentFile::ReadResult::Status::unreadable, {}, reason};
}

// write()'s temporary files are "<dir>/.veilmark-tmp-<name>.XXXXXX": hidden, and a name no user
// picks, so clearing them can never take a user's own copy.
QString temporaryPrefix(const QString& fileName)
{
    return QLatin1String(".veilmark-tmp-") + fileName + QLatin1Char('.');
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

// rename() that fails with EEXIST instead of replacing `to`.
int renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // A filesystem without RENAME_NOREPLACE: look first. Only Veilmark creates these names, and it
    // runs once per session, so nothing races the check.
    struct stat st
    {
    };
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.constData(), to.constData());
}
} // namespace

DocumentFile::ReadResult DocumentFile::read(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? ReadResult{} : unreadable(errorText(errno));
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0)
        return unreadable(errorText(errno));
    if (!S_ISREG(st.st_mode))
        return unreadable(QCoreApplication::translate("DocumentFile", "it is not a regular file"));
    const QString tooLarge =
        QCoreApplication::translate("DocumentFile", "it is larger than %1 MiB").arg(MaxSize / (1024 * 1024));
    if (st.st_size > MaxSize)
        return unreadable(tooLarge);
    // The size is a hint only: the file may change between fstat() and the last read().
    QByteArray bytes(qsizetype(st.st_size) + 1, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(qMin<qsizetype>(bytes.size() * 2, MaxSize + 1));
        const ssize_t n = ::read(fd, bytes.data() + used, static_cast<size_t>(bytes.size() - used));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return unreadable(errorText(errno));
        if (n == 0)
            break;
        used += n;
        if (used > MaxSize)
            return unreadable(tooLarge);
    }
    bytes.truncate(used);
    return {ReadResult::Status::read, bytes, {}};
}

std::optional<QString> DocumentFile::write(const QString& path, const QByteArray& bytes,
                                           Durability durability)
{
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary =
        QFile::encodeName(info.path() + QLatin1Char('/') + temporaryPrefix(info.fileName()) + "XXXXXX");
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errorText(errno);
    bool ok = writeAll(fd, bytes) && (durability == Durability::Cached || ::fdatasync(fd) == 0);
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), target.constData()) == 0)
        return std::nullopt;
    if (ok)
        error = errno;
    ::unlink(temporary.constData());
    return errorText(error);
}

void DocumentFile::removeLeftovers(const QString& path)
{
    const QFileInfo info(path);
    QDir dir = info.dir();
    const QString prefix = temporaryPrefix(info.fileName());
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        // The prefix, then mkostemp's six characters.
        if (name.size() == prefix.size() + 6 && name.startsWith(prefix))
            dir.remove(name);
    }
}

DocumentFile::MoveResult DocumentFile::moveAside(const QString& path)
{
    const QFileInfo info(path);
    const QString base = info.fileName() + QLatin1String(".unreadable-") +
                         QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QByteArray from = QFile::encodeName(path);
    for (int n = 1; n <= 1000; ++n) {
        const QString name = n == 1 ? base : base + QLatin1Char('-') + QString::number(n);
        if (renameNoReplace(from, QFile::encodeName(info.path() + QLatin1Char('/') + name)) == 0)
            return {name, {}};
        if (errno != EEXIST)
            return {{}, errorText(errno)};
    }
    return {{}, errorText(EEXIST)};
}

DocumentFile::Setback DocumentFile::setAside(const QString& path, const QStringList& problems)
{
    qCWarning(lcIo) << path << "cannot be read in full:" << problems;
    const MoveResult moved = moveAside(path);
    if (moved.error.isEmpty())
        qCWarning(lcIo) << path << "is kept as" << moved.fileName;
    else
        qCWarning(lcIo) << "cannot move" << path << "aside:" << moved.error << "; it is not written";
    return Setback{problems, moved.fileName, moved.error};
}
