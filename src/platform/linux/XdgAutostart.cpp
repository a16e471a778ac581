#include "platform/linux/XdgAutostart.h"

#include "io/DocumentFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Desktop entry values escape backslashes; Exec arguments with blanks need quoting.
QString execValue(const QString& executable)
{
    QString quoted = executable;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\\\""));
    return executable.contains(QLatin1Char(' ')) ? QLatin1Char('"') + quoted + QLatin1Char('"') : quoted;
}
} // namespace

XdgAutostart::XdgAutostart(const QString& appId, const QString& executable)
    : m_appId(appId)
    , m_executable(executable)
{}

QString XdgAutostart::filePath() const
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QLatin1String("/.config");
    return config + QLatin1String("/autostart/") + m_appId + QLatin1String(".desktop");
}

bool XdgAutostart::isRegistered() const
{
    // Only a regular file (a link to one is fine): a FIFO put there must not hang start-up.
    if (!QFileInfo(filePath()).isFile())
        return false;
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(4096).trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return false;
    }
    return true;
}

std::optional<QString> XdgAutostart::registerItem()
{
    const QString path = filePath();
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir))
        return errorText(errno != 0 ? errno : EACCES);
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Veilmark\n"
                                         "Comment=Keep chosen apps and folders locked\n"
                                         "Comment[de]=Hält ausgewählte Apps und Ordner gesperrt\n"
                                         "Comment[fr]=Garde les apps et dossiers choisis verrouillés\n"
                                         "Exec=%1 --background\n"
                                         "Icon=%2\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(execValue(m_executable), m_appId);
    return DocumentFile::write(path, entry.toUtf8(), DocumentFile::Durability::Synced);
}

std::optional<QString> XdgAutostart::unregisterItem()
{
    if (::unlink(QFile::encodeName(filePath()).constData()) != 0 && errno != ENOENT)
        return errorText(errno);
    return std::nullopt;
}
