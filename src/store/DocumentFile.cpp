#include "DocumentFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

bool DocumentFile::write(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
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
