#include "auth/AuthenticationService.h"
#include "auth/KeychainService.h"
#include "auth/SessionManager.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeSecretStore.h"
#include "folders/FolderProtectionEngine.h"
#include "io/AccessControlLock.h"
#include "io/DataDirectory.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>

// The folder engine over real directories and the real stores: relocking at launch with many
// folders stored unlocked, and what watching locked folders for outside changes costs. Run through
// tests/unprivileged.sh so that locks are really checked.
namespace {
struct Folders
{
    QTemporaryDir home;
    bool environment = [this] {
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
        return true;
    }();
    FakeClock clock;
    FakeAuthenticator authenticator;
    FakeSecretStore secrets;
    KeychainService keychain{secrets};
    PolicyStore policy;
    EventLog log;
    SessionManager sessions{clock};
    AuthenticationService auth{authenticator, keychain};
    FolderProtectionEngine engine{policy, auth, sessions, log, home.path(), DataDirectory::path()};

    // Ten folders per parent directory, as a user's projects would be spread.
    explicit Folders(int count)
    {
        QList<ProtectedFolder> folders;
        for (int i = 0; i < count; ++i) {
            const QString path = home.filePath(QStringLiteral("P%1/F%2").arg(i / 10).arg(i));
            QDir().mkpath(path);
            ProtectedFolder folder;
            folder.id = QUuid::createUuid();
            folder.path = path;
            folder.name = QStringLiteral("F%1").arg(i);
            folders.append(folder);
        }
        policy.setFolders(folders);
    }
    ~Folders()
    {
        for (const ProtectedFolder& f : policy.folders())
            AccessControlLock::unlockAndVerify(f.path);
    }
    // As a killed process leaves them: open on disk and stored unlocked.
    void leaveUnlocked()
    {
        QList<ProtectedFolder> folders = policy.folders();
        for (ProtectedFolder& f : folders) {
            ::chmod(QFile::encodeName(f.path).constData(), 0750);
            f.isLocked = false;
        }
        policy.setFolders(folders);
        // The watcher reports our own chmods; they are not part of the launch being measured.
        QCoreApplication::processEvents();
    }
};
} // namespace

// One pass over every folder, one synced policy write and one event, identities checked.
static void relockAtLaunch(benchmark::State& state)
{
    Folders desk(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        desk.leaveUnlocked();
        state.ResumeTiming();
        desk.engine.relockAtLaunch();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(relockAtLaunch)
    ->RangeMultiplier(10)
    ->Range(10, 10000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Complexity(benchmark::oN);

// From a chmod that opens one of 100 locked folders to the folder being locked again.
static void reactionToChmod(benchmark::State& state)
{
    Folders desk(100);
    desk.engine.relockAtLaunch();
    QCoreApplication::processEvents();
    const ProtectedFolder target = desk.policy.folders().at(42);
    for (auto _ : state) {
        ::chmod(QFile::encodeName(target.path).constData(), 0750);
        while (AccessControlLock::isAccessible(target.path))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
BENCHMARK(reactionToChmod)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(200);

// The process idles with 100 locked folders watched: how often does it wake up?
static void idleWakeUps(benchmark::State& state)
{
    Folders desk(100);
    desk.engine.relockAtLaunch();
    QCoreApplication::processEvents();
    const auto switches = [] {
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        return usage.ru_nvcsw + usage.ru_nivcsw;
    };
    long woken = 0;
    constexpr int seconds = 10;
    for (auto _ : state) {
        const long before = switches();
        // Nothing but this one timer should wake the loop for the whole time.
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        woken += switches() - before;
    }
    state.counters["wakeups_per_minute"] = double(woken) * 60 / seconds / double(state.iterations());
}
BENCHMARK(idleWakeUps)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
