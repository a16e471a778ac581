#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Whole-file reads and atomic replacement of Veilmark's JSON documents.
class DocumentFile
{
public:
    // Larger files are not ours to load: they are treated as unreadable instead of
    // letting a hostile document exhaust memory.
    static constexpr qint64 MaxSize = 64 * 1024 * 1024;

    enum class Durability
    {
        // Flushed to the disk before the rename: survives a power cut, costs a few milliseconds.
        Synced,
        // Left to the page cache: survives the process being killed, not a power cut.
        Cached,
    };

    static std::optional<QByteArray> read(const QString& path);
    // Writes a private (0600) temporary file beside `path` and renames it over `path`, so a
    // reader or a killed process sees either the old or the new document, never a mix.
    // Returns the system's error text when it fails.
    static std::optional<QString> write(const QString& path, const QByteArray& bytes, Durability durability);
    // A process killed mid-write leaves its temporary file ("<name>.XXXXXX") behind; the next
    // load clears them. Veilmark runs once per session, so no other writer owns them.
    static void removeLeftovers(const QString& path);
};
