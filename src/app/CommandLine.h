#pragma once

#include <QCoreApplication>
#include <QStringList>

class QTextStream;
class RunningInstance;

// The verbs of `veilmark`: --lock-all, --status [--json], --help and --version. Each talks to the
// running instance; with none running, --lock-all locks every protected folder from the stored
// policy itself and --status reads the stored policy. Nothing here weakens protection.
class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    // The exit codes, as --help and veilmark(1) document them.
    enum Exit
    {
        ok = 0,
        // Something protected could not be locked; or the policy could not be read.
        failed = 1,
        // Unknown option or a combination that makes no sense.
        usage = 2,
        // A Veilmark is running but did not answer.
        noAnswer = 3,
    };

    // Whether the arguments ask for a verb rather than for the application (none, or --background).
    // Asked before any QCoreApplication exists: a verb needs no display.
    static bool isVerb(int argc, char* argv[]);

    // Runs the verb `arguments` ask for (arguments[0] is the program); output on `out`, one line per
    // error on `err`. With no instance running, locks and probes under `homePath` from the policy in
    // `dataDirectory`.
    static int run(const QStringList& arguments, RunningInstance& instance, QTextStream& out,
                   QTextStream& err, const QString& homePath, const QString& dataDirectory);
};
