#include "io/FolderWatcher.h"

#include "io/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
constexpr uint32_t kParentEvents = IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO | IN_CREATE | IN_DELETE |
                                   IN_MOVE_SELF | IN_DELETE_SELF | IN_ONLYDIR;
}

FolderWatcher::FolderWatcher(QObject* parent)
    : QObject(parent)
    , m_inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    , m_mounts(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC))
{
    if (m_inotify < 0) {
        qCWarning(lcIo) << "cannot watch folders for outside changes:" << std::strerror(errno);
    } else {
        m_inotifyNotifier = new QSocketNotifier(m_inotify, QSocketNotifier::Read, this);
        connect(m_inotifyNotifier, &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
    }
    // The kernel marks mountinfo with POLLPRI whenever this namespace's mount table changes.
    if (m_mounts >= 0) {
        m_mountNotifier = new QSocketNotifier(m_mounts, QSocketNotifier::Exception, this);
        connect(m_mountNotifier, &QSocketNotifier::activated, this, [this] { emit changed({}); });
    }
}

FolderWatcher::~FolderWatcher()
{
    delete m_inotifyNotifier;
    delete m_mountNotifier;
    if (m_inotify >= 0)
        ::close(m_inotify);
    if (m_mounts >= 0)
        ::close(m_mounts);
}

void FolderWatcher::watch(const QStringList& directories)
{
    if (m_inotify < 0)
        return;
    QHash<QString, QHash<QString, QString>> wanted;
    for (const QString& directory : directories) {
        const QFileInfo info(directory);
        wanted[info.path()].insert(info.fileName(), directory);
    }
    for (auto it = m_parents.begin(); it != m_parents.end();) {
        if (wanted.contains(it->path)) {
            it->children.clear();
            ++it;
            continue;
        }
        ::inotify_rm_watch(m_inotify, it.key());
        it = m_parents.erase(it);
    }
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        // Adding a watch that exists returns its descriptor again.
        const int wd = ::inotify_add_watch(m_inotify, QFile::encodeName(it.key()).constData(), kParentEvents);
        if (wd < 0) {
            // A parent that is gone leaves its folders shown as missing; nothing to watch there.
            if (errno != ENOENT && errno != ENOTDIR)
                qCWarning(lcIo) << "cannot watch" << it.key() << ":" << std::strerror(errno);
            continue;
        }
        // Two spellings of one parent (through a symbolic link) share a watch descriptor.
        Parent& parent = m_parents[wd];
        parent.path = it.key();
        for (auto child = it->cbegin(); child != it->cend(); ++child)
            parent.children.insert(child.key(), child.value());
    }
}

void FolderWatcher::readEvents()
{
    QStringList paths;
    bool everything = false;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t size = ::read(m_inotify, buffer, sizeof buffer);
        if (size <= 0)
            break;
        for (ssize_t offset = 0; offset < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                everything = true;
                continue;
            }
            const auto parent = m_parents.find(event->wd);
            if (parent == m_parents.end())
                continue;
            if (event->len > 0) {
                const QString name = QFile::decodeName(event->name);
                if (const auto child = parent->children.constFind(name); child != parent->children.cend())
                    paths.append(*child);
                continue;
            }
            // The parent itself moved, vanished or stopped being watched: every child may be gone.
            paths.append(parent->children.values());
            if (event->mask & IN_IGNORED)
                m_parents.erase(parent);
        }
    }
    paths.removeDuplicates();
    if (everything)
        emit changed({});
    else if (!paths.isEmpty())
        emit changed(paths);
}
