#include "io/ProcessesInside.h"

#include <QCoreApplication>
#include <QFile>
#include <QSet>

#include <cctype>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray linkTarget(const QByteArray& link)
{
    char buffer[4096];
    const ssize_t size = ::readlink(link.constData(), buffer, sizeof buffer);
    return size > 0 && size < ssize_t(sizeof buffer) ? QByteArray(buffer, size) : QByteArray();
}

// The watched directory `target` lies in (or is), if any.
QByteArray containing(QByteArray target, const QSet<QByteArray>& directories)
{
    while (target.size() > 1) {
        if (directories.contains(target))
            return target;
        target.truncate(qMax(1, target.lastIndexOf('/')));
    }
    return {};
}

QString processName(const QByteArray& proc, const QByteArray& pid)
{
    QFile comm(QString::fromLatin1(proc + "/comm"));
    const QByteArray name = comm.open(QIODevice::ReadOnly) ? comm.readLine(64).trimmed() : QByteArray();
    const QString shown =
        name.isEmpty() ? QCoreApplication::translate("ProcessesInside", "process") : QString::fromUtf8(name);
    return QStringLiteral("%1 (%2)").arg(shown, QString::fromLatin1(pid));
}
} // namespace

QHash<QString, QStringList> ProcessesInside::find(const QStringList& directories)
{
    QSet<QByteArray> wanted;
    for (const QString& directory : directories)
        wanted.insert(QFile::encodeName(directory));
    QHash<QString, QStringList> found;
    DIR* processes = ::opendir("/proc");
    if (!processes || wanted.isEmpty()) {
        if (processes)
            ::closedir(processes);
        return found;
    }
    const QByteArray self = QByteArray::number(::getpid());
    while (const dirent* entry = ::readdir(processes)) {
        const QByteArray pid(entry->d_name);
        if (pid.isEmpty() || !std::isdigit(static_cast<unsigned char>(pid.at(0))) || pid == self)
            continue;
        const QByteArray proc = "/proc/" + pid;
        struct stat st;
        if (::stat(proc.constData(), &st) != 0 || st.st_uid != ::geteuid())
            continue;
        QSet<QByteArray> inside;
        const QByteArray cwd = containing(linkTarget(proc + "/cwd"), wanted);
        if (!cwd.isEmpty())
            inside.insert(cwd);
        if (DIR* fds = ::opendir((proc + "/fd").constData())) {
            while (const dirent* fd = ::readdir(fds)) {
                if (fd->d_name[0] == '.')
                    continue;
                const QByteArray directory = containing(linkTarget(proc + "/fd/" + fd->d_name), wanted);
                if (!directory.isEmpty())
                    inside.insert(directory);
            }
            ::closedir(fds);
        }
        for (const QByteArray& directory : std::as_const(inside))
            found[QFile::decodeName(directory)].append(processName(proc, pid));
    }
    ::closedir(processes);
    return found;
}
