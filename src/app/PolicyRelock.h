#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class EventLog;

// Relocks on disk what the stored policy protects, without the engines and without any window
// system: every enabled folder, through the folder engine's own checks, and the desktop entry of
// every enabled application. The guardian runs it when Veilmark has ended without its quit path.
// policies.json is only read: the next start relocks again and stores the result itself.
class PolicyRelock
{
    Q_DECLARE_TR_FUNCTIONS(PolicyRelock)

public:
    PolicyRelock() = delete;

    struct Result
    {
        // What could be opened before and is locked now.
        QStringList relocked;
        // "<name>: <why>" for what should be locked and is not, or why the policy could not be read.
        QStringList failed;
    };

    // Who asks: the guardian after an unclean end, or `veilmark --lock-all` with no Veilmark running.
    enum class Origin
    {
        guardian,
        commandLine,
    };

    // Relocks and records one event in `log` saying why (`cause`) and what was relocked, and one
    // error event when anything could not be.
    static Result run(EventLog& log, const QString& homePath, const QString& dataDirectory,
                      const QString& cause, Origin origin = Origin::guardian);
};
