#include "ForbiddenPaths.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

QSet<QString> ForbiddenPaths::forHome(const QString& homePath)
{
    QSet<QString> paths{homePath};
    for (const char* name :
         {"/Desktop", "/Documents", "/Downloads", "/Library", "/Pictures", "/Movies", "/Music", "/Public",
          "/Applications", "/Videos", "/Templates", "/.config", "/.local", "/.local/share", "/.cache"})
        paths.insert(homePath + QLatin1String(name));
    for (const char* path : {"/", "/Applications", "/System", "/Library", "/Users", "/usr", "/bin", "/sbin",
                             "/etc", "/var", "/tmp", "/private"})
        paths.insert(QLatin1String(path));
    for (const QString& dir : userDirectories(homePath))
        paths.insert(dir);
    return paths;
}

QStringList ForbiddenPaths::userDirectories(const QString& homePath)
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = homePath + QLatin1String("/.config");
    QFile file(config + QLatin1String("/user-dirs.dirs"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};

    // Lines look like XDG_DESKTOP_DIR="$HOME/Desktop"; the value is either "$HOME/..." or absolute.
    static const QRegularExpression line(QStringLiteral(R"(^\s*XDG_[A-Z]+_DIR\s*=\s*"([^"]*)\"\s*$)"));
    QStringList dirs;
    while (!file.atEnd()) {
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(file.readLine(4096)).trimmed());
        if (!match.hasMatch())
            continue;
        QString value = match.captured(1);
        if (value.startsWith(QLatin1String("$HOME")))
            value = homePath + value.mid(5);
        if (QDir::isAbsolutePath(value))
            dirs.append(QDir::cleanPath(value));
    }
    return dirs;
}
