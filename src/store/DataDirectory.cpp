#include "DataDirectory.h"

#include <QDir>
#include <QStandardPaths>

#include <sys/stat.h>

QString DataDirectory::path()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QLatin1String("/.local/share");
    const QString dir = base + QLatin1String("/Veilmark");
    // Failures are left to the read or write that follows, which then fails on its own.
    QDir().mkpath(base);
    ::mkdir(QFile::encodeName(dir).constData(), 0700);
    return dir;
}

QString DataDirectory::filePath(const QString& fileName)
{
    return path() + QLatin1Char('/') + fileName;
}
