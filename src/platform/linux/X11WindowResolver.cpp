#include "platform/linux/X11WindowResolver.h"

#include "platform/linux/DesktopEntryIndex.h"

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>

#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

// glib names a struct member `signals`, which Qt defines as a keyword macro; this file needs neither.
#undef signals
#include <glib.h>

namespace {
// Enough for any identifier; longer values are cut, not rejected.
const uint32_t MaxPropertyWords = 256;
// Process environments are a few kilobytes; a huge one is not worth reading whole.
const qsizetype MaxProcFileSize = 1 << 20;

struct FreeDeleter
{
    void operator()(void* p) const { std::free(p); }
};
using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, FreeDeleter>;

struct KeyFileFree
{
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};

QByteArray bytesOf(const PropertyReply& reply)
{
    if (!reply || reply->format != 8) {
        return {};
    }
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

// A text property up to its first NUL.
QString textOf(const PropertyReply& reply)
{
    const QByteArray bytes = bytesOf(reply);
    return QString::fromUtf8(bytes.left(bytes.indexOf('\0') < 0 ? bytes.size() : bytes.indexOf('\0')));
}

// Reads a small /proc file whole: its size shows as 0, so QFile's size-based reading does not apply.
QByteArray readProcFile(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    QByteArray data;
    char buffer[4096];
    while (data.size() < MaxProcFileSize) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        data.append(buffer, n);
    }
    ::close(fd);
    return data;
}

QByteArray procPath(quint32 pid, const char* file)
{
    return "/proc/" + QByteArray::number(pid) + '/' + file;
}

QByteArray environmentValue(const QByteArray& environment, const QByteArray& name)
{
    const QByteArray prefix = name + '=';
    for (const QByteArray& assignment : environment.split('\0')) {
        if (assignment.startsWith(prefix)) {
            return assignment.mid(prefix.size());
        }
    }
    return {};
}

QString withoutDesktopSuffix(QString id)
{
    if (id.endsWith(QLatin1String(".desktop"))) {
        id.chop(8);
    }
    return id.trimmed();
}
} // namespace

X11WindowResolver::X11WindowResolver(xcb_connection_t* connection, const Atoms& atoms,
                                     DesktopEntryIndex& index)
    : m_connection(connection)
    , m_atoms(atoms)
    , m_index(index)
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0) {
        m_hostName = name;
    }
}

QStringList X11WindowResolver::resolve(const QList<xcb_window_t>& windows)
{
    if (windows.isEmpty()) {
        return {};
    }
    // Installed entries may have changed since the last windows appeared.
    m_index.refreshIfChanged();

    struct Cookies
    {
        xcb_get_property_cookie_t gtk, kde, pid, wmClass, machine;
    };
    QList<Cookies> cookies;
    cookies.reserve(windows.size());
    const auto request = [this](xcb_window_t window, xcb_atom_t property) {
        return xcb_get_property(m_connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                MaxPropertyWords);
    };
    for (const xcb_window_t window : windows) {
        cookies.append({request(window, m_atoms.gtkApplicationId), request(window, m_atoms.kdeDesktopFile),
                        request(window, m_atoms.netWmPid), request(window, XCB_ATOM_WM_CLASS),
                        request(window, XCB_ATOM_WM_CLIENT_MACHINE)});
    }

    QStringList ids;
    ids.reserve(windows.size());
    for (const Cookies& c : std::as_const(cookies)) {
        // A window destroyed meanwhile answers with errors: every reply is null and nothing matches.
        const auto reply = [this](xcb_get_property_cookie_t cookie) {
            return PropertyReply(xcb_get_property_reply(m_connection, cookie, nullptr));
        };
        const PropertyReply gtk = reply(c.gtk);
        const PropertyReply kde = reply(c.kde);
        const PropertyReply pid = reply(c.pid);
        const PropertyReply wmClass = reply(c.wmClass);
        const PropertyReply machine = reply(c.machine);

        Facts facts;
        facts.gtkApplicationId = textOf(gtk);
        facts.kdeDesktopFile = textOf(kde);
        const QList<QByteArray> classParts = bytesOf(wmClass).split('\0');
        facts.wmInstance = QString::fromLocal8Bit(classParts.value(0));
        facts.wmClass = QString::fromLocal8Bit(classParts.value(1));
        if (pid && pid->format == 32 && xcb_get_property_value_length(pid.get()) >= 4) {
            facts.pid = *static_cast<const uint32_t*>(xcb_get_property_value(pid.get()));
        }
        const QByteArray machineName = bytesOf(machine).split('\0').value(0);
        facts.local = machineName.isEmpty() || m_hostName.isEmpty() || machineName == m_hostName;
        ids.append(resolve(facts));
    }
    return ids;
}

QString X11WindowResolver::resolve(const Facts& facts) const
{
    QString uninstalled;
    // True when `id` is installed; remembers the first uninstalled one as the last resort.
    const auto installed = [&](const QString& candidate) {
        const QString id = withoutDesktopSuffix(candidate);
        if (id.isEmpty()) {
            return false;
        }
        if (m_index.find(id)) {
            return true;
        }
        if (uninstalled.isEmpty()) {
            uninstalled = id;
        }
        return false;
    };

    const bool processKnown = facts.pid != 0 && facts.local;
    if (processKnown && facts.pid == quint32(::getpid())) {
        const QString own = withoutDesktopSuffix(QGuiApplication::desktopFileName());
        if (!own.isEmpty()) {
            return own;
        }
    }
    for (const QString& id : {facts.gtkApplicationId, facts.kdeDesktopFile}) {
        if (installed(id)) {
            return withoutDesktopSuffix(id);
        }
    }
    QByteArray environment;
    if (processKnown) {
        if (const QString flatpak = flatpakApplication(facts.pid); installed(flatpak)) {
            return flatpak;
        }
        environment = readProcFile(procPath(facts.pid, "environ"));
        for (const QString& id : snapCandidates(facts.pid, environment)) {
            if (m_index.find(id)) {
                return id;
            }
        }
        if (const QString launched = launchedDesktopFile(facts.pid, environment); !launched.isEmpty()) {
            return DesktopEntryIndex::idForPath(launched);
        }
    }
    for (const QString& name : {facts.wmInstance, facts.wmClass}) {
        if (const DesktopEntryIndex::Entry* entry =
                name.isEmpty() ? nullptr : m_index.findByStartupWMClass(name)) {
            return entry->id;
        }
    }
    for (const QString& name : {facts.wmInstance, facts.wmClass}) {
        if (const DesktopEntryIndex::Entry* entry =
                name.isEmpty() ? nullptr : m_index.findIgnoringCase(name)) {
            return entry->id;
        }
    }
    if (processKnown) {
        // The program that runs, as an entry's TryExec or Exec names it; an AppImage runs from a
        // mount of its own, so its entry names the image the APPIMAGE variable points at.
        for (const QString& program :
             {executableOf(facts.pid), QFile::decodeName(environmentValue(environment, "APPIMAGE"))}) {
            if (const DesktopEntryIndex::Entry* entry =
                    program.isEmpty() ? nullptr : m_index.findByProgram(program)) {
                return entry->id;
            }
        }
    }
    return uninstalled;
}

QString X11WindowResolver::executableOf(quint32 pid)
{
    char target[4096];
    const ssize_t n = ::readlink(procPath(pid, "exe").constData(), target, sizeof target - 1);
    if (n <= 0) {
        return {};
    }
    QString path = QFile::decodeName(QByteArray(target, n));
    // A program replaced on disk since it started (a package upgrade) still identifies it.
    if (path.endsWith(QLatin1String(" (deleted)"))) {
        path.chop(10);
    }
    return path;
}

QString X11WindowResolver::flatpakApplication(quint32 pid) const
{
    const QByteArray info = readProcFile(procPath(pid, "root/.flatpak-info"));
    if (info.isEmpty()) {
        return {};
    }
    std::unique_ptr<GKeyFile, KeyFileFree> file(g_key_file_new());
    if (!g_key_file_load_from_data(file.get(), info.constData(), gsize(info.size()), G_KEY_FILE_NONE,
                                   nullptr)) {
        return {};
    }
    gchar* name = g_key_file_get_string(file.get(), "Application", "name", nullptr);
    const QString result = QString::fromUtf8(name);
    g_free(name);
    return result;
}

// Snap desktop entries are named <snap instance>_<app>.desktop. The process's cgroup names both
// (snap.<instance>.<app>.<uuid>.scope, or snap.<instance>.<app>.service); the environment names only
// the snap, whose main app usually has the snap's name.
QStringList X11WindowResolver::snapCandidates(quint32 pid, const QByteArray& environment) const
{
    QStringList candidates;
    const QByteArray cgroup = readProcFile(procPath(pid, "cgroup"));
    for (const QByteArray& line : cgroup.split('\n')) {
        for (const QByteArray& segment : line.mid(line.lastIndexOf(':') + 1).split('/')) {
            if (!segment.startsWith("snap.")) {
                continue;
            }
            const QList<QByteArray> parts = segment.split('.');
            if (parts.size() >= 4) {
                const QString id = QString::fromUtf8(parts[1] + '_' + parts[2]);
                if (!candidates.contains(id)) {
                    candidates << id;
                }
            }
        }
    }
    QByteArray snap = environmentValue(environment, "SNAP_INSTANCE_NAME");
    if (snap.isEmpty()) {
        snap = environmentValue(environment, "SNAP_NAME");
    }
    if (!snap.isEmpty()) {
        candidates << QString::fromUtf8(snap + '_' + snap);
    }
    return candidates;
}

QString X11WindowResolver::launchedDesktopFile(quint32 pid, const QByteArray& environment) const
{
    if (environmentValue(environment, "GIO_LAUNCHED_DESKTOP_FILE_PID") != QByteArray::number(pid)) {
        return {};
    }
    return QFile::decodeName(environmentValue(environment, "GIO_LAUNCHED_DESKTOP_FILE"));
}
