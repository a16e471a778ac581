#pragma once

#include <QString>

// Veilmark's per-user data directory, $XDG_DATA_HOME/Veilmark. Every lookup makes sure it
// exists; it is created private to the user (0700) because it holds the policy and the log.
class DataDirectory
{
public:
    static QString path();
    static QString filePath(const QString& fileName);
};
