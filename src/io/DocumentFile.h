#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Whole-file reads, atomic replacement and moving aside of Veilmark's JSON documents.
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

    struct ReadResult
    {
        enum class Status
        {
            read,
            // No such file: the normal first start.
            missing,
            // Something is there but it is not a document we can take; `error` says why.
            unreadable,
        };
        Status status = Status::missing;
        QByteArray bytes;
        QString error;
    };

    // Exactly one of the two is set.
    struct MoveResult
    {
        QString fileName;
        QString error;
    };

    // Opens without following a symbolic link and without blocking (a FIFO or a device never
    // hangs start-up), and reads only a regular file of at most MaxSize bytes.
    static ReadResult read(const QString& path);
    // Writes a private (0600) temporary file beside `path` and renames it over `path`, so a
    // reader or a killed process sees either the old or the new document, never a mix.
    // Returns the system's error text when it fails.
    static std::optional<QString> write(const QString& path, const QByteArray& bytes, Durability durability);
    // A process killed mid-write leaves its temporary file behind; the next load clears them.
    // Only names write() makes are touched, never a user's own "policies.json.backup".
    // Veilmark runs once per session, so no other writer owns them.
    static void removeLeftovers(const QString& path);
    // Renames `path`, whatever it is, to "<name>.unreadable-<yyyyMMddTHHmmssZ>" in the same
    // directory, adding "-2", "-3"... rather than replacing a file of that name. The result
    // names the new file (without its directory), or gives the system's reason.
    static MoveResult moveAside(const QString& path);

    // What loading a document found wrong, and where its original went.
    struct Setback
    {
        QStringList problems;
        // The kept original's file name.
        QString unreadableCopy;
        // Why it could not be moved aside; then it must never be written over.
        QString moveAsideError;
    };
    // Journals `problems` (not empty) and moves the document aside, never to be overwritten.
    static Setback setAside(const QString& path, const QStringList& problems);
};
