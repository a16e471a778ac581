#pragma once

#include <QString>

// What the folder engine last found on disk for one protected folder. Shown instead of the
// stored wish, so a folder is only ever called locked when it cannot be opened.
struct FolderStatus
{
    enum class State
    {
        locked,
        unlocked,
        // Nothing is at the folder's path any more.
        missing,
        // A symbolic link, a file or another directory is at the path, or it now leads somewhere
        // that may not be protected.
        replaced,
        // The directory at the path belongs to another user.
        notYours,
        // Should be locked, but can be opened; `reason` says why the lock did not take.
        lockFailed,
    };

    State state = State::locked;
    QString reason;

    bool isLocked() const { return state == State::locked; }
    bool isError() const { return state != State::locked && state != State::unlocked; }
    // "Locked", "Unlocked", "Missing", "Moved or replaced", "Not yours", "Lock failed".
    QString text() const;

    friend bool operator==(const FolderStatus&, const FolderStatus&) = default;
};
