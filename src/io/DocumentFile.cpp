#include "DocumentFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

std::optional<QByteArray> DocumentFile::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(MaxSize + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > MaxSize)
        return std::nullopt;
    return bytes;
}

namespace {
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
} // namespace

std::optional<QString> DocumentFile::write(const QString& path, const QByteArray& bytes,
                                           Durability durability)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
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
    return QString::fromLocal8Bit(std::strerror(error));
}

void DocumentFile::removeLeftovers(const QString& path)
{
    const QFileInfo info(path);
    QDir dir = info.dir();
    const QStringList names =
        dir.entryList({info.fileName() + QLatin1String(".??????")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names)
        dir.remove(name);
}
