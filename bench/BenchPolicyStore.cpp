#include "store/PolicyStore.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// A large policy: 20 applications and 100 folders.
static void fill(PolicyStore& store)
{
    QList<ProtectedApp> apps;
    for (int i = 0; i < 20; ++i)
        apps.append({QStringLiteral("org.example.App%1").arg(i), QStringLiteral("App %1").arg(i),
                     QStringLiteral("/usr/share/applications/org.example.App%1.desktop").arg(i)});
    QList<ProtectedFolder> folders;
    for (int i = 0; i < 100; ++i)
        folders.append({QUuid::createUuid(), QStringLiteral("/home/user/Projects/Folder %1").arg(i),
                        QStringLiteral("Folder %1").arg(i)});
    store.setApps(apps);
    store.setFolders(folders);
}

static void saveLargePolicy(benchmark::State& state)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    PolicyStore store;
    fill(store);
    for (auto _ : state)
        store.save();
}
BENCHMARK(saveLargePolicy)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Start-up cost of the large policy: open, check, read and decode record by record.
static void loadLargePolicy(benchmark::State& state)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    {
        PolicyStore store;
        fill(store);
    }
    for (auto _ : state) {
        PolicyStore store;
        benchmark::DoNotOptimize(store.folders().size());
    }
}
BENCHMARK(loadLargePolicy)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
