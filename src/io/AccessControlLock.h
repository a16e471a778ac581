#pragma once

#include <QString>

#include <optional>

class DirectoryHandle;

// Locks a directory or a single file (such as a desktop entry) in place for the running user by
// clearing its owner permission bits, and unlocks it by giving them back. Every change is verified
// by probing access afterwards; the probe, not the system call, decides success.
//
// The owner bits in force before locking are kept in the extended attribute user.veilmark.owner so
// that unlocking restores them exactly; without it unlocking gives the owner rwx. Group and other
// bits are never changed.
//
// Results: std::nullopt on success, otherwise an error text for the activity log.
class AccessControlLock
{
public:
    AccessControlLock() = delete;

    struct Unlocked
    {
        std::optional<QString> error;
        // The remembered owner bits would have left the directory without read and search for
        // its owner (a tampered attribute): rwx was given instead.
        bool distrustedRememberedBits = false;
    };

    // The directory behind an open handle: every step acts on that very directory.
    static std::optional<QString> lockDirectory(const DirectoryHandle& directory);
    static Unlocked unlockDirectory(const DirectoryHandle& directory);
    // Whether the running user can search and list the directory now.
    static bool isAccessible(const DirectoryHandle& directory);

    // By path, symbolic links followed; for files. Success means the path cannot be accessed
    // afterwards, whatever the reason (a missing path counts as locked too).
    static std::optional<QString> lockAndVerify(const QString& path);
    // Success means the path can be accessed afterwards.
    static std::optional<QString> unlockAndVerify(const QString& path);
    // A directory: can the running user list it now. Anything else that exists: can it be opened
    // for reading. A missing path is not accessible.
    static bool isAccessible(const QString& path);
};
