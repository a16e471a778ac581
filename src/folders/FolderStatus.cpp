#include "FolderStatus.h"

#include <QCoreApplication>

QString FolderStatus::text() const
{
    switch (state) {
    case State::locked:
        return QCoreApplication::translate("FolderStatus", "Locked");
    case State::unlocked:
        return QCoreApplication::translate("FolderStatus", "Unlocked");
    case State::missing:
        return QCoreApplication::translate("FolderStatus", "Missing");
    case State::replaced:
        return QCoreApplication::translate("FolderStatus", "Moved or replaced");
    case State::notYours:
        return QCoreApplication::translate("FolderStatus", "Not yours");
    case State::lockFailed:
        return QCoreApplication::translate("FolderStatus", "Lock failed");
    }
    return {};
}
