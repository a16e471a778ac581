#include "io/AccessControlLock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <chrono>
#include <sys/stat.h>

namespace {

// Each benchmark times one operation; the opposite one runs untimed between iterations so that
// every timed call does the full work (remembering or restoring the owner bits).
template <typename Timed, typename Untimed>
void alternate(benchmark::State& state, Timed timed, Untimed untimed)
{
    QTemporaryDir root;
    const QString dir = root.filePath(QStringLiteral("folder"));
    if (!root.isValid() || !QDir().mkdir(dir)) {
        state.SkipWithError("cannot create a directory");
        return;
    }
    ::chmod(QFile::encodeName(dir).constData(), 0750);

    for (auto _ : state) {
        if (untimed(dir)) {
            state.SkipWithError("setup step failed (as root, run through tests/unprivileged.sh)");
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        const std::optional<QString> result = timed(dir);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (result) {
            state.SkipWithError(
                qPrintable(*result + QStringLiteral(" (as root, run through tests/unprivileged.sh)")));
            break;
        }
    }
    AccessControlLock::unlockAndVerify(dir);
}

void BM_LockAndVerify(benchmark::State& state)
{
    alternate(state, AccessControlLock::lockAndVerify, AccessControlLock::unlockAndVerify);
}

void BM_UnlockAndVerify(benchmark::State& state)
{
    alternate(state, AccessControlLock::unlockAndVerify, AccessControlLock::lockAndVerify);
}

void BM_IsAccessible(benchmark::State& state)
{
    QTemporaryDir root;
    for (auto _ : state) {
        benchmark::DoNotOptimize(AccessControlLock::isAccessible(root.path()));
    }
}

} // namespace

BENCHMARK(BM_LockAndVerify)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_UnlockAndVerify)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_IsAccessible)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
