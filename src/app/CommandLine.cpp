#include "CommandLine.h"

#include "PolicyRelock.h"
#include "RunningInstance.h"
#include "StatusReport.h"
#include "store/EventLog.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <cstring>

namespace {
const QString LockAll = QStringLiteral("lock-all");
const QString Status = QStringLiteral("status");
const QString Json = QStringLiteral("json");
const QString Background = QStringLiteral("background");

// What should be locked after a lock-all and is not: "<name>: <state>" each.
QStringList notLocked(const StatusReport& report)
{
    QStringList names;
    for (const StatusReport::Entry& entry : report.entries) {
        const bool lockable =
            entry.kind == QLatin1String("folder") || entry.state != QLatin1String("unwatched");
        if (entry.enabled && lockable && entry.state != QLatin1String("locked"))
            names.append(QStringLiteral("%1: %2").arg(entry.name, entry.text));
    }
    return names;
}

void error(QTextStream& err, const QString& line)
{
    err << "veilmark: " << line << Qt::endl;
}

// Without a running Veilmark (or with one that does not answer): locks from the stored policy, and
// records that in the activity log.
int lockFromPolicy(QTextStream& out, QTextStream& err, const QString& homePath, const QString& dataDirectory)
{
    EventLog log;
    const PolicyRelock::Result result = PolicyRelock::run(
        log, homePath, dataDirectory, CommandLine::tr("veilmark --lock-all while Veilmark was not running"),
        PolicyRelock::Origin::commandLine);
    if (!result.relocked.isEmpty())
        out << CommandLine::tr("Locked %1.").arg(result.relocked.join(QStringLiteral(", "))) << Qt::endl;
    if (!result.failed.isEmpty()) {
        error(err, CommandLine::tr("could not lock %1").arg(result.failed.join(QStringLiteral("; "))));
        return CommandLine::failed;
    }
    if (result.relocked.isEmpty())
        out << CommandLine::tr("Everything protected was already locked.") << Qt::endl;
    return CommandLine::ok;
}

int lockAll(RunningInstance& instance, QTextStream& out, QTextStream& err, const QString& homePath,
            const QString& dataDirectory)
{
    const RunningInstance::Reply locked = instance.lockEverything();
    if (locked.reach == RunningInstance::Reply::Reach::none)
        return lockFromPolicy(out, err, homePath, dataDirectory);
    if (locked.reach == RunningInstance::Reply::Reach::failed) {
        // Whatever the running one is doing, what is stored as protected gets locked.
        error(err, CommandLine::tr("the running Veilmark did not answer (%1); locking from the stored policy")
                       .arg(locked.error));
        const int code = lockFromPolicy(out, err, homePath, dataDirectory);
        return code == CommandLine::ok ? CommandLine::noAnswer : code;
    }
    const RunningInstance::Reply status = instance.status();
    const std::optional<StatusReport> report = status.reach == RunningInstance::Reply::Reach::answered
                                                   ? StatusReport::fromJson(status.body)
                                                   : std::nullopt;
    if (!report) {
        error(err, CommandLine::tr("asked Veilmark to lock everything, but it did not say what is locked"));
        return CommandLine::noAnswer;
    }
    if (const QStringList open = notLocked(*report); !open.isEmpty()) {
        error(err, CommandLine::tr("could not lock %1").arg(open.join(QStringLiteral("; "))));
        return CommandLine::failed;
    }
    out << CommandLine::tr("Everything protected is locked.") << Qt::endl;
    return CommandLine::ok;
}

int status(RunningInstance& instance, bool json, QTextStream& out, QTextStream& err, const QString& homePath,
           const QString& dataDirectory)
{
    const RunningInstance::Reply reply = instance.status();
    std::optional<StatusReport> report;
    int code = CommandLine::ok;
    if (reply.reach == RunningInstance::Reply::Reach::answered) {
        report = StatusReport::fromJson(reply.body);
        if (!report) {
            error(err, CommandLine::tr("the running Veilmark answered with an unreadable status"));
            return CommandLine::noAnswer;
        }
    } else {
        if (reply.reach == RunningInstance::Reply::Reach::failed) {
            error(err, CommandLine::tr("the running Veilmark did not answer (%1); showing the stored policy")
                           .arg(reply.error));
            code = CommandLine::noAnswer;
        }
        QString why;
        report = StatusReport::ofStoredPolicy(homePath, dataDirectory, &why);
        if (!why.isEmpty()) {
            error(err, why);
            code = CommandLine::failed;
        }
        if (!report)
            return code;
    }
    if (json)
        out << QString::fromUtf8(report->toJson());
    else
        out << report->toTable();
    out.flush();
    return code;
}
} // namespace

bool CommandLine::isVerb(int argc, char* argv[])
{
    return argc > 2 || (argc == 2 && std::strcmp(argv[1], "--background") != 0);
}

int CommandLine::run(const QStringList& arguments, RunningInstance& instance, QTextStream& out,
                     QTextStream& err, const QString& homePath, const QString& dataDirectory)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Keeps chosen apps and folders locked until you prove it's you.\n\n"
           "Exit status:\n"
           "  0  done\n"
           "  1  something protected could not be locked, or the stored policy could not be read\n"
           "  2  wrong usage\n"
           "  3  a running Veilmark did not answer (--lock-all then locks from the stored policy)"));
    parser.addOptions({
        {LockAll, tr("Lock every protected app and folder now. With Veilmark not running, lock every "
                     "protected folder from the stored policy.")},
        {Status, tr("Show every protected app and folder with its state and the end of its unlock session.")},
        {Json, tr("With --status: print JSON for scripts instead of a table.")},
        {Background, tr("Start in the tray without opening the window.")},
    });
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(arguments)) {
        error(err, tr("%1 See veilmark --help.").arg(parser.errorText()));
        return usage;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        out << parser.helpText();
        out.flush();
        return ok;
    }
    if (parser.isSet(version)) {
        out << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion()
            << Qt::endl;
        return ok;
    }
    const int verbs = int(parser.isSet(LockAll)) + int(parser.isSet(Status)) + int(parser.isSet(Background));
    if (parser.isSet(Json) && !parser.isSet(Status))
        error(err, tr("--json goes with --status; see veilmark --help"));
    else if (!parser.positionalArguments().isEmpty())
        error(err,
              tr("unexpected argument %1; see veilmark --help").arg(parser.positionalArguments().first()));
    else if (verbs != 1)
        error(err, tr("give one of --lock-all, --status and --background; see veilmark --help"));
    else if (parser.isSet(LockAll))
        return lockAll(instance, out, err, homePath, dataDirectory);
    else if (parser.isSet(Status))
        return status(instance, parser.isSet(Json), out, err, homePath, dataDirectory);
    else
        error(err, tr("--background takes no other option; see veilmark --help"));
    return usage;
}
