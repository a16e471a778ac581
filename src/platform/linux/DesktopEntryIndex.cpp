#include "platform/linux/DesktopEntryIndex.h"

#include "io/DataDirectory.h"
#include "io/DocumentFile.h"
#include "platform/linux/LinuxLogging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSet>
#include <QStandardPaths>

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
const QLatin1String KeptFileName("entry-identities.json");

// The fields of an entry kept for when it is locked, as stored.
QJsonObject keptObject(const DesktopEntryIndex::Entry& entry)
{
    return {{QStringLiteral("path"), entry.path},
            {QStringLiteral("name"), entry.name},
            {QStringLiteral("icon"), entry.icon},
            {QStringLiteral("startupWMClass"), entry.startupWMClass},
            {QStringLiteral("tryExec"), entry.tryExec},
            {QStringLiteral("exec"), entry.exec},
            {QStringLiteral("noDisplay"), entry.noDisplay}};
}

bool sameIdentity(const DesktopEntryIndex::Entry& a, const DesktopEntryIndex::Entry& b)
{
    return keptObject(a) == keptObject(b);
}
} // namespace

DesktopEntryIndex::DesktopEntryIndex(const QString& keptIdentitiesPath)
    : m_keptPath(keptIdentitiesPath.isEmpty() ? DataDirectory::filePath(KeptFileName) : keptIdentitiesPath)
{
    reload();
}

void DesktopEntryIndex::loadKept()
{
    m_kept.clear();
    const DocumentFile::ReadResult file = DocumentFile::read(m_keptPath);
    if (file.status == DocumentFile::ReadResult::Status::missing)
        return;
    const QJsonDocument document = QJsonDocument::fromJson(file.bytes);
    if (file.status != DocumentFile::ReadResult::Status::read || !document.isObject()) {
        // Only a copy of what the entries said: set aside, it is rebuilt as entries are unlocked.
        const DocumentFile::MoveResult moved = DocumentFile::moveAside(m_keptPath);
        qCWarning(lcX11) << "kept entry identities unreadable" << m_keptPath << file.error << "; moved to"
                         << (moved.error.isEmpty() ? moved.fileName : moved.error);
        return;
    }
    for (const QJsonValue& value : document.object().value(QStringLiteral("entries")).toArray()) {
        const QJsonObject o = value.toObject();
        Entry entry;
        entry.path = o.value(QStringLiteral("path")).toString();
        if (entry.path.isEmpty())
            continue;
        entry.id = idForPath(entry.path);
        entry.name = o.value(QStringLiteral("name")).toString(entry.id);
        entry.icon = o.value(QStringLiteral("icon")).toString();
        entry.startupWMClass = o.value(QStringLiteral("startupWMClass")).toString();
        entry.tryExec = o.value(QStringLiteral("tryExec")).toString();
        entry.exec = o.value(QStringLiteral("exec")).toString();
        entry.noDisplay = o.value(QStringLiteral("noDisplay")).toBool();
        m_kept.insert(entry.path, entry);
    }
}

bool DesktopEntryIndex::saveKept() const
{
    QJsonArray entries;
    for (const Entry& entry : m_kept)
        entries.append(keptObject(entry));
    const QByteArray bytes = QJsonDocument(QJsonObject{{QStringLiteral("entries"), entries}}).toJson();
    if (const std::optional<QString> error =
            DocumentFile::write(m_keptPath, bytes, DocumentFile::Durability::Cached)) {
        qCWarning(lcX11) << "cannot keep entry identities in" << m_keptPath << ":" << *error;
        return false;
    }
    return true;
}

void DesktopEntryIndex::keepIdentity(const QString& path)
{
    // The entries scanned so far may predate the kept file's last change by another index.
    refreshIfChanged();
    std::optional<Entry> entry = read(path);
    if (!entry || (m_kept.contains(path) && sameIdentity(m_kept.value(path), *entry)))
        return;
    m_kept.insert(path, *entry);
    if (!saveKept())
        return;
    // Our own write is no reason to scan again.
    for (DirectoryStamp& stamp : m_stamps) {
        if (stamp.path == m_keptPath)
            stamp.mtimeNs = mtimeOf(m_keptPath);
    }
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
    entry.tryExec = takeString(g_key_file_get_string(file.get(), Group, "TryExec", nullptr));
    entry.exec = takeString(g_key_file_get_string(file.get(), Group, "Exec", nullptr));
    entry.noDisplay = g_key_file_get_boolean(file.get(), Group, "NoDisplay", nullptr);
    if (gchar** words =
            g_key_file_get_locale_string_list(file.get(), Group, "Keywords", nullptr, nullptr, nullptr)) {
        for (gchar** word = words; *word; ++word)
            entry.keywords.append(QString::fromUtf8(*word));
        g_strfreev(words);
    }
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
    m_byProgram.reset();
    m_stamps.clear();

    const QStringList roots = applicationDirectories();
    for (const QString& root : roots) {
        m_stamps.append({root, mtimeOf(root)});
    }
    // Another index (the one that keeps them) may have written new identities.
    m_stamps.append({m_keptPath, mtimeOf(m_keptPath)});
    loadKept();
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
            Entry known = m_kept.value(path, previousByPath.value(path, Entry{id, path, id}));
            known.id = id;
            known.path = path;
            m_entries.append(std::move(known));
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

QString DesktopEntryIndex::programOf(const Entry& entry)
{
    QString program = entry.tryExec;
    if (program.isEmpty()) {
        gchar** argv = nullptr;
        if (!entry.exec.isEmpty() &&
            g_shell_parse_argv(entry.exec.toUtf8().constData(), nullptr, &argv, nullptr)) {
            for (gchar** arg = argv; *arg; ++arg) {
                const QString word = QString::fromUtf8(*arg);
                // env VAR=value… program: the program is what runs.
                if (arg == argv && QFileInfo(word).fileName() == QLatin1String("env"))
                    continue;
                if (arg != argv && word.contains(QLatin1Char('=')) && !word.startsWith(QLatin1Char('/')))
                    continue;
                program = word;
                break;
            }
        }
        g_strfreev(argv);
    }
    if (program.isEmpty())
        return {};
    if (!QDir::isAbsolutePath(program))
        program = QStandardPaths::findExecutable(program);
    const QString resolved = program.isEmpty() ? QString() : QFileInfo(program).canonicalFilePath();
    // These start whatever their arguments say; the running program is then another one.
    static const QStringList launchers{
        QStringLiteral("sh"),   QStringLiteral("bash"), QStringLiteral("dash"),
        QStringLiteral("zsh"),  QStringLiteral("env"),  QStringLiteral("flatpak"),
        QStringLiteral("snap"), QStringLiteral("gio"),  QStringLiteral("xdg-open")};
    if (resolved.isEmpty() || launchers.contains(QFileInfo(resolved).fileName()))
        return {};
    return resolved;
}

const DesktopEntryIndex::Entry* DesktopEntryIndex::findByProgram(const QString& path) const
{
    if (!m_byProgram) {
        m_byProgram.emplace();
        for (qsizetype i = 0; i < m_entries.size(); ++i) {
            // An entry that names its windows' class is known by it; the same program under another
            // class is something else (a browser and its web apps).
            if (!m_entries[i].startupWMClass.isEmpty())
                continue;
            const QString program = programOf(m_entries[i]);
            if (!program.isEmpty())
                m_byProgram->insert(program, m_byProgram->contains(program) ? -1 : i);
        }
    }
    const QString resolved = QFileInfo(path).canonicalFilePath();
    const qsizetype at = m_byProgram->value(resolved.isEmpty() ? path : resolved, -1);
    return at < 0 ? nullptr : &m_entries[at];
}

QList<InstalledApps::Application> DesktopEntryIndex::menuApplications()
{
    refreshIfChanged();
    QList<Application> applications;
    for (const Entry& entry : std::as_const(m_entries)) {
        if (!entry.noDisplay) {
            applications.append({entry.id, entry.name, entry.path, entry.keywords});
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
    return Application{entry->id, entry->name, entry->path, entry->keywords};
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
