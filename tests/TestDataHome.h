#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <sys/stat.h>

// Points $XDG_DATA_HOME at a fresh temporary directory for one test, so the stores read and
// write $tmp/Veilmark/*.json.
class TestDataHome
{
public:
    TestDataHome() { qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.path())); }
    ~TestDataHome() { qunsetenv("XDG_DATA_HOME"); }

    QString dataDir() const { return m_dir.path() + QLatin1String("/Veilmark"); }
    QString file(const char* name) const { return dataDir() + QLatin1Char('/') + QLatin1String(name); }

private:
    QTemporaryDir m_dir;
};

// Identifies one version of a file on disk: an atomic rewrite always yields a new inode.
struct FileStamp
{
    ino_t inode = 0;
    qint64 mtimeNs = 0;
    bool exists = false;

    static FileStamp of(const QString& path)
    {
        struct stat st
        {
        };
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            return {};
        return {st.st_ino, qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, true};
    }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
