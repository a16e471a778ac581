// Start-up against a yardstick, in the same run: the time from starting the process to its first
// frame, for Veilmark's main window and for a bare Qt Quick window (one Window, one Text) with Qt's
// default renderer and with the software renderer, plus Veilmark's resident memory with the window,
// after closing it, and when started in the background.
// Run inside an X session with a session bus, e.g.
//   tests/app-session.sh build/bench/BenchStartup [rounds]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
struct Run
{
    double firstFrameMs = -1; // from starting the process to the line that reports the first frame
    QStringList lines;
};

Run start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
          const QString& firstFrameLine)
{
    Run run;
    QProcess process;
    process.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    QByteArray pending;
    while (process.state() != QProcess::NotRunning || process.bytesAvailable() > 0) {
        process.waitForReadyRead(100);
        pending += process.readAllStandardError();
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QString line = QString::fromUtf8(pending.left(end));
            if (run.firstFrameMs < 0 && line.contains(firstFrameLine))
                run.firstFrameMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            run.lines << line;
            // BENCH_VERBOSE=1 shows every line the programs print, with its arrival time.
            if (qEnvironmentVariableIntValue("BENCH_VERBOSE") == 1)
                std::fprintf(stderr, "%8.1f %s\n", static_cast<double>(clock.nsecsElapsed()) / 1e6,
                             qPrintable(line));
        }
        if (clock.elapsed() > 30000) {
            process.kill();
            process.waitForFinished();
            std::fprintf(stderr, "BenchStartup: %s did not finish\n", qPrintable(program));
            break;
        }
    }
    return run;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The last figure a line matching pattern reported, over all runs.
std::vector<double> figures(const std::vector<Run>& runs, const QString& pattern)
{
    std::vector<double> found;
    const QRegularExpression expression(pattern);
    for (const Run& run : runs)
        for (const QString& line : run.lines)
            if (const auto match = expression.match(line); match.hasMatch())
                found.push_back(match.captured(1).toDouble());
    return found;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 7;
    const QString dir = QCoreApplication::applicationDirPath();
    const QString bare = dir + QStringLiteral("/BareQuickWindow");
    const QString veilmark = QStringLiteral(VEILMARK_BINARY);

    QTemporaryDir data;
    QProcessEnvironment base = QProcessEnvironment::systemEnvironment();
    base.remove(QStringLiteral("QT_QUICK_BACKEND"));
    QProcessEnvironment software = base;
    software.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    QProcessEnvironment measured = base;
    measured.insert(QStringLiteral("VEILMARK_MEASURE"), QStringLiteral("1"));
    measured.insert(QStringLiteral("XDG_DATA_HOME"), data.path());

    // A first start creates the data directory and warms the page cache for every program.
    start(veilmark, {}, measured, QStringLiteral("first frame"));
    start(bare, {}, base, QStringLiteral("first frame"));
    std::vector<Run> bareRuns, softwareRuns, veilmarkRuns, backgroundRuns;
    for (int round = 0; round < rounds; ++round) {
        bareRuns.push_back(start(bare, {}, base, QStringLiteral("first frame")));
        softwareRuns.push_back(start(bare, {}, software, QStringLiteral("first frame")));
        veilmarkRuns.push_back(start(veilmark, {}, measured, QStringLiteral("first frame")));
        if (round < 3)
            backgroundRuns.push_back(start(veilmark, {QStringLiteral("--background")}, measured, QString()));
    }
    auto frames = [](const std::vector<Run>& runs) {
        std::vector<double> times;
        for (const Run& run : runs)
            if (run.firstFrameMs >= 0)
                times.push_back(run.firstFrameMs);
        return median(times);
    };
    const double bareDefault = frames(bareRuns);
    const double bareSoftware = frames(softwareRuns);
    const double ours = frames(veilmarkRuns);
    std::printf("first frame, median of %d, from starting the process:\n", rounds);
    std::printf("  bare Qt Quick window, Qt's default renderer  %7.1f ms\n", bareDefault);
    std::printf("  bare Qt Quick window, software renderer      %7.1f ms\n", bareSoftware);
    std::printf("  Veilmark's main window                       %7.1f ms  (%.2fx the default bare window, "
                "%.2fx the faster one)\n",
                ours, ours / bareDefault, ours / std::min(bareDefault, bareSoftware));
    std::printf(
        "  Veilmark's own figure (from its start time)  %7.1f ms\n",
        median(figures(veilmarkRuns, QStringLiteral("first frame after ([0-9.]+) ms from the process"))));
    std::printf("resident memory, median:\n");
    std::printf("  with the window open                         %7.1f MiB\n",
                median(figures(veilmarkRuns, QStringLiteral("with the window open: ([0-9.]+) MiB"))));
    std::printf("  only the tray, after closing the window      %7.1f MiB\n",
                median(figures(veilmarkRuns, QStringLiteral("after closing the window: ([0-9.]+) MiB"))));
    std::printf("  only the tray, started with --background     %7.1f MiB\n",
                median(figures(backgroundRuns, QStringLiteral("in the background: ([0-9.]+) MiB"))));
    return 0;
}
