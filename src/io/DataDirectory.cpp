#include "io/DataDirectory.h"

#include "io/Logging.h"

#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

QString DataDirectory::path()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QLatin1String("/.local/share");
    const QString dir = base + QLatin1String("/Veilmark");
    // The read or write that follows fails on its own; the journal says why.
    if (!QDir().mkpath(base))
        qCWarning(lcIo) << "cannot create" << base;
    if (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno != EEXIST)
        qCWarning(lcIo) << "cannot create the data directory" << dir << ":" << std::strerror(errno);
    return dir;
}

QString DataDirectory::filePath(const QString& fileName)
{
    return path() + QLatin1Char('/') + fileName;
}
