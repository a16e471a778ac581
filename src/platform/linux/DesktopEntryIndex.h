#pragma once

#include "apps/InstalledApps.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// The installed desktop entries (type Application) of $XDG_DATA_HOME/applications and each
// $XDG_DATA_DIRS/applications, keyed by desktop-file ID. For an ID found in several directories the
// first directory in that order wins, and Hidden=true there removes the ID altogether. NoDisplay
// entries are kept: they still identify windows.
//
// A file that cannot be read (a locked entry has no owner permissions) still claims its ID, and
// keeps the fields read from it earlier, if any: windows of a locked application must resolve to
// it all the same. What keepIdentity() kept for an entry (in the data directory, which stays
// readable) supplies those fields after a restart.
class DesktopEntryIndex : public InstalledApps
{
public:
    struct Entry
    {
        QString id;
        QString path;
        QString name; // localised when the entry has a translation for the current locale
        QString icon; // a theme icon name or an absolute path
        QString startupWMClass;
        QString tryExec;
        QString exec;
        QStringList keywords; // localised like the name
        bool noDisplay = false;
    };

    // Scans the directories at once. The kept identities live in `keptIdentitiesPath`; empty means
    // the data directory's file.
    explicit DesktopEntryIndex(const QString& keptIdentitiesPath = QString());

    // Scans again when a directory was added, removed or changed since the last scan (a new entry
    // written or renamed into place). Returns whether it scanned.
    bool refreshIfChanged();
    void reload();

    const Entry* find(const QString& id) const;
    // The first entry whose ID equals `name` ignoring case.
    const Entry* findIgnoringCase(const QString& name) const;
    // The first entry whose StartupWMClass equals `wmClass` exactly.
    const Entry* findByStartupWMClass(const QString& wmClass) const;
    // The one entry whose TryExec, else the program its Exec line starts, is the executable at
    // `path` (both compared after resolving links and $PATH); none when several entries start it.
    // Entries with a StartupWMClass, and shells and launchers that start other programs (env,
    // flatpak), take no part.
    const Entry* findByProgram(const QString& path) const;
    // The executable an entry starts, resolved as findByProgram() compares it; empty when none.
    static QString programOf(const Entry& entry);
    const QList<Entry>& entries() const { return m_entries; }

    QList<Application> menuApplications() override;
    std::optional<Application> applicationAt(const QString& path) override;
    QImage icon(const QString& path) override;
    void launch(const QString& path) override;
    void keepIdentity(const QString& path) override;
    // The image of an entry's Icon value: an absolute file, a theme icon or a pixmap; null when none.
    QImage iconNamed(const QString& name) const;

    // The applications directories searched, highest precedence first.
    static QStringList applicationDirectories();
    // The desktop-file ID of the entry at `path`: its path below an applications directory with
    // "/" turned into "-" (sub/dir/x.desktop is "sub-dir-x"), else its file name, without ".desktop".
    static QString idForPath(const QString& path);
    // The [Desktop Entry] group of the file at `path`; none when it cannot be read or parsed, or is
    // not an application. `hidden` (optional) tells whether the entry says Hidden=true.
    static std::optional<Entry> read(const QString& path, bool* hidden = nullptr);

private:
    struct DirectoryStamp
    {
        QString path;
        qint64 mtimeNs = -1; // -1: missing
        friend bool operator==(const DirectoryStamp&, const DirectoryStamp&) = default;
    };

    static qint64 mtimeOf(const QString& path);
    void scan(const QString& root, const QString& directory, QSet<QString>& claimed,
              const QHash<QString, Entry>& previousByPath);
    void loadKept();
    bool saveKept() const;

    QList<Entry> m_entries; // highest precedence directory first, then by path
    QHash<QString, qsizetype> m_byId;
    QHash<QString, qsizetype> m_byFoldedId;
    QHash<QString, qsizetype> m_byWMClass;
    // By resolved executable, built on first use: resolving every entry's program costs file
    // system look-ups that most resolutions never need.
    mutable std::optional<QHash<QString, qsizetype>> m_byProgram; // -1: several entries
    QString m_keptPath;
    QHash<QString, Entry> m_kept; // by entry path
    QList<DirectoryStamp> m_stamps;
    // Icons by name, once loaded: reading and rendering one takes about a millisecond, and it sits
    // between an activation and the shield.
    mutable QHash<QString, QImage> m_icons;
};
