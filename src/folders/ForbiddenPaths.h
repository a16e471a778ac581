#pragma once

#include <QSet>
#include <QString>

// Paths that can never be protected: locking them would break the desktop session, the
// system, or Veilmark itself.
class ForbiddenPaths
{
public:
    // The fixed list for `homePath`: the home directory, its well-known folders (including
    // the XDG user directories of user-dirs.dirs) and the top-level system directories.
    static QSet<QString> forHome(const QString& homePath);
    // The XDG user directories named in $XDG_CONFIG_HOME/user-dirs.dirs, "$HOME" expanded.
    static QStringList userDirectories(const QString& homePath);
};
