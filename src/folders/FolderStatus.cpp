#include "FolderStatus.h"

QString FolderStatus::text() const
{
    switch (state) {
    case State::locked:
        return QStringLiteral("Locked");
    case State::unlocked:
        return QStringLiteral("Unlocked");
    case State::missing:
        return QStringLiteral("Missing");
    case State::replaced:
        return QStringLiteral("Moved or replaced");
    case State::notYours:
        return QStringLiteral("Not yours");
    case State::lockFailed:
        return QStringLiteral("Lock failed");
    }
    return {};
}
