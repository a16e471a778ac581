#include "platform/linux/DesktopEntryIndex.h"

#include "platform/linux/LinuxLogging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <QSet>

#include <memory>
#include <sys/stat.h>

// glib names a struct member `signals`, which Qt defines as a keyword macro; this file needs neither.
#undef signals
#include <gio/gdesktopappinfo.h>
#include <glib.h>

namespace {
const char* const Group = "Desktop Entry";
const QLatin1String Suffix(".desktop");
// Symbolic links may form loops; real trees of entries are one or two levels deep.
const int MaxDepth = 8;
// Side of the images made from themed or file icons.
const int IconSize = 128;

struct KeyFileFree
{
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};

QString takeString(gchar* value)
{
    const QString result = value ? QString::fromUtf8(value) : QString();
    g_free(value);
    return result;
}

// An absolute directory without a trailing slash, or empty when `path` is relative (such entries are
// to be ignored).
QString absoluteDirectory(const QString& path)
{
    if (!QDir::isAbsolutePath(path)) {
        return {};
    }
    return QDir::cleanPath(path);
}
// Pixmaps are looked up beside the icon themes, in <data dir>/pixmaps.
QStringList pixmapDirectories()
{
    QStringList dirs;
    for (QString dir : DesktopEntryIndex::applicationDirectories()) {
        dir.chop(int(sizeof("applications") - 1));
        dirs << dir + QLatin1String("pixmaps");
    }
    return dirs;
}

// The icon an entry's Icon value names: an absolute file, else a theme icon, else a file in a
// pixmaps directory. Entries often name a theme icon with a file extension, which themes lack.
QImage imageOfIcon(const QString& name)
{
    QIcon icon;
    if (QDir::isAbsolutePath(name)) {
        if (QFileInfo::exists(name)) {
            icon = QIcon(name);
        }
    } else if (!name.isEmpty()) {
        icon = QIcon::fromTheme(name);
        const QString base = QFileInfo(name).completeBaseName();
        const bool hasExtension = name.endsWith(QLatin1String(".png")) ||
                                  name.endsWith(QLatin1String(".svg")) ||
                                  name.endsWith(QLatin1String(".xpm"));
        if (icon.isNull() && hasExtension) {
            icon = QIcon::fromTheme(base);
        }
        for (const QString& dir : pixmapDirectories()) {
            if (!icon.isNull()) {
                break;
            }
            for (const char* suffix : {"", ".png", ".svg", ".xpm"}) {
                const QString path = dir + QLatin1Char('/') + name + QLatin1String(suffix);
                if (QFileInfo(path).isFile()) {
                    icon = QIcon(path);
                    break;
                }
            }
        }
    }
    if (icon.isNull()) {
        return {};
    }
    return icon.pixmap(QSize(IconSize, IconSize), 1.0).toImage();
}
} // namespace

DesktopEntryIndex::DesktopEntryIndex()
{
    reload();
}

QStringList DesktopEntryIndex::applicationDirectories()
{
    QStringList dataDirs;
    QString home = absoluteDirectory(qEnvironmentVariable("XDG_DATA_HOME"));
    if (home.isEmpty()) {
        home = QDir::homePath() + QLatin1String("/.local/share");
    }
    dataDirs << home;
    QStringList system;
    for (const QString& dir : qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':'))) {
        const QString absolute = absoluteDirectory(dir);
        if (!absolute.isEmpty()) {
            system << absolute;
        }
    }
    if (system.isEmpty()) {
        system << QStringLiteral("/usr/local/share") << QStringLiteral("/usr/share");
    }
    dataDirs << system;

    QStringList result;
    for (const QString& dir : dataDirs) {
        const QString applications = dir + QLatin1String("/applications");
        if (!result.contains(applications)) {
            result << applications;
        }
    }
    return result;
}

QString DesktopEntryIndex::idForPath(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    QString relative;
    for (const QString& dir : applicationDirectories()) {
        if (clean.startsWith(dir + QLatin1Char('/'))) {
            relative = clean.mid(dir.size() + 1);
            break;
        }
    }
    if (relative.isEmpty()) {
        relative = QFileInfo(clean).fileName();
    }
    if (relative.endsWith(Suffix)) {
        relative.chop(Suffix.size());
    }
    return relative.replace(QLatin1Char('/'), QLatin1Char('-'));
}

std::optional<DesktopEntryIndex::Entry> DesktopEntryIndex::read(const QString& path, bool* hidden)
{
    std::unique_ptr<GKeyFile, KeyFileFree> file(g_key_file_new());
    if (!g_key_file_load_from_file(file.get(), QFile::encodeName(path).constData(), G_KEY_FILE_NONE,
                                   nullptr) ||
        !g_key_file_has_group(file.get(), Group)) {
        return std::nullopt;
    }
    if (takeString(g_key_file_get_string(file.get(), Group, "Type", nullptr)) !=
        QLatin1String("Application")) {
        return std::nullopt;
    }
    if (hidden) {
        // A missing or malformed key reads as false.
        *hidden = g_key_file_get_boolean(file.get(), Group, "Hidden", nullptr);
    }
    Entry entry;
    entry.id = idForPath(path);
    entry.path = path;
    entry.name = takeString(g_key_file_get_locale_string(file.get(), Group, "Name", nullptr, nullptr));
    if (entry.name.isEmpty()) {
        entry.name = entry.id;
    }
    entry.icon = takeString(g_key_file_get_locale_string(file.get(), Group, "Icon", nullptr, nullptr));
    entry.startupWMClass = takeString(g_key_file_get_string(file.get(), Group, "StartupWMClass", nullptr));
    entry.noDisplay = g_key_file_get_boolean(file.get(), Group, "NoDisplay", nullptr);
    return entry;
}

qint64 DesktopEntryIndex::mtimeOf(const QString& path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return -1;
    }
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool DesktopEntryIndex::refreshIfChanged()
{
    const QStringList roots = applicationDirectories();
    bool changed = false;
    // The roots come first in the stamps, in order, so a changed variable shows as a changed root.
    for (qsizetype i = 0; i < roots.size() && !changed; ++i) {
        changed = i >= m_stamps.size() || m_stamps[i].path != roots[i];
    }
    for (qsizetype i = 0; i < m_stamps.size() && !changed; ++i) {
        changed = mtimeOf(m_stamps[i].path) != m_stamps[i].mtimeNs;
    }
    if (changed) {
        reload();
    }
    return changed;
}

void DesktopEntryIndex::reload()
{
    QHash<QString, Entry> previousByPath;
    for (const Entry& entry : std::as_const(m_entries)) {
        previousByPath.insert(entry.path, entry);
    }
    m_entries.clear();
    m_byId.clear();
    m_byFoldedId.clear();
    m_byWMClass.clear();
    m_stamps.clear();

    const QStringList roots = applicationDirectories();
    for (const QString& root : roots) {
        m_stamps.append({root, mtimeOf(root)});
    }
    QSet<QString> claimed;
    for (const QString& root : roots) {
        scan(root, root, claimed, previousByPath);
    }
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries[i];
        m_byId.insert(entry.id, i);
        // Several entries may fold to one ID or share a class: the first one wins.
        const QString folded = entry.id.toCaseFolded();
        if (!m_byFoldedId.contains(folded)) {
            m_byFoldedId.insert(folded, i);
        }
        if (!entry.startupWMClass.isEmpty() && !m_byWMClass.contains(entry.startupWMClass)) {
            m_byWMClass.insert(entry.startupWMClass, i);
        }
    }
}

void DesktopEntryIndex::scan(const QString& root, const QString& directory, QSet<QString>& claimed,
                             const QHash<QString, Entry>& previousByPath)
{
    const QDir dir(directory);
    if (!dir.exists()) {
        return;
    }
    if (directory != root) {
        m_stamps.append({directory, mtimeOf(directory)});
    }
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("*.desktop")},
                                                  QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    for (const QFileInfo& info : files) {
        const QString path = info.filePath();
        const QString id = idForPath(path);
        if (claimed.contains(id)) {
            continue;
        }
        claimed.insert(id);
        // Opening tells, where access() would answer for the real rather than the effective rights.
        if (QFile probe(path); !probe.open(QIODevice::ReadOnly)) {
            m_entries.append(previousByPath.value(path, Entry{id, path, id, {}, {}}));
            continue;
        }
        bool hidden = false;
        if (std::optional<Entry> entry = read(path, &hidden); entry && !hidden) {
            m_entries.append(std::move(*entry));
        }
    }
    if (directory.count(QLatin1Char('/')) - root.count(QLatin1Char('/')) >= MaxDepth) {
        return;
    }
    for (const QFileInfo& sub : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        scan(root, sub.filePath(), claimed, previousByPath);
    }
}

const DesktopEntryIndex::Entry* DesktopEntryIndex::find(const QString& id) const
{
    const auto it = m_byId.constFind(id);
    return it == m_byId.cend() ? nullptr : &m_entries[*it];
}

const DesktopEntryIndex::Entry* DesktopEntryIndex::findIgnoringCase(const QString& name) const
{
    const auto it = m_byFoldedId.constFind(name.toCaseFolded());
    return it == m_byFoldedId.cend() ? nullptr : &m_entries[*it];
}

const DesktopEntryIndex::Entry* DesktopEntryIndex::findByStartupWMClass(const QString& wmClass) const
{
    const auto it = m_byWMClass.constFind(wmClass);
    return it == m_byWMClass.cend() ? nullptr : &m_entries[*it];
}

QList<InstalledApps::Application> DesktopEntryIndex::menuApplications()
{
    refreshIfChanged();
    QList<Application> applications;
    for (const Entry& entry : std::as_const(m_entries)) {
        if (!entry.noDisplay) {
            applications.append({entry.id, entry.name, entry.path});
        }
    }
    return applications;
}

std::optional<InstalledApps::Application> DesktopEntryIndex::applicationAt(const QString& path)
{
    const std::optional<Entry> entry = read(path);
    if (!entry) {
        return std::nullopt;
    }
    return Application{entry->id, entry->name, entry->path};
}

QImage DesktopEntryIndex::icon(const QString& path)
{
    QString name;
    if (const std::optional<Entry> entry = read(path)) {
        name = entry->icon;
    } else {
        // A locked entry cannot be read; the index may remember it from before.
        for (const Entry& known : std::as_const(m_entries)) {
            if (known.path == path) {
                name = known.icon;
                break;
            }
        }
    }
    return iconNamed(name);
}

QImage DesktopEntryIndex::iconNamed(const QString& name) const
{
    if (const auto found = m_icons.constFind(name); found != m_icons.cend()) {
        return *found;
    }
    QImage image = imageOfIcon(name);
    // Missing icons are looked for again: one may be installed later, and a miss costs little.
    if (!image.isNull()) {
        m_icons.insert(name, image);
    }
    return image;
}

void DesktopEntryIndex::launch(const QString& path)
{
    // GIO expands the Exec line's field codes and puts GIO_LAUNCHED_DESKTOP_FILE(_PID) in the child's
    // environment, which is what identifies its windows when nothing else does.
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData());
    if (!info) {
        qCWarning(lcX11) << "not a launchable desktop entry:" << path;
        return;
    }
    GError* error = nullptr;
    if (!g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error)) {
        qCWarning(lcX11) << "cannot launch" << path << ":" << (error ? error->message : "");
        g_clear_error(&error);
    }
    g_object_unref(info);
}
