#pragma once

#include <QHash>
#include <QStringList>

// Processes of the running user whose working directory or one of whose open files lies inside
// a directory. Clearing a directory's permissions does not reach them: they keep what they
// already hold until they leave, so locking names them to the user.
class ProcessesInside
{
public:
    ProcessesInside() = delete;

    // For each of `directories` (resolved, absolute paths) that has any: "name (pid)" of the
    // processes inside it. Veilmark itself is left out.
    static QHash<QString, QStringList> find(const QStringList& directories);
};
