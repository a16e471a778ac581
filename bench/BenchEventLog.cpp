#include "store/EventLog.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// record() with a full log: prepend, trim to 500, encode and atomically replace events.json.
static void recordIntoFullLog(benchmark::State& state)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    EventLog log;
    for (int i = 0; i < EventLog::cap; ++i)
        log.record(LogEventKind::folderRelocked, QStringLiteral("Folder %1").arg(i),
                   QStringLiteral("Unlock session expired"));
    for (auto _ : state)
        log.record(LogEventKind::appRelocked, QStringLiteral("Firefox"), QStringLiteral("Lost focus"));
    state.counters["events"] = static_cast<double>(log.events().size());
}
BENCHMARK(recordIntoFullLog)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Start-up cost of a full log: read and decode 500 events.
static void loadFullLog(benchmark::State& state)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    {
        EventLog log;
        for (int i = 0; i < EventLog::cap; ++i)
            log.record(LogEventKind::error, QStringLiteral("Folder lock failed"),
                       QStringLiteral("Operation not permitted"));
    }
    for (auto _ : state) {
        EventLog log;
        benchmark::DoNotOptimize(log.events().size());
    }
}
BENCHMARK(loadFullLog)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
