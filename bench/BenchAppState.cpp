#include "app/AppState.h"
#include "app/LoginItems.h"
#include "apps/AppProtectionEngine.h"
#include "auth/SessionManager.h"
#include "fakes/FakeAppearance.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeInstalledApps.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeShieldDisplay.h"
#include "fakes/FakeSystemEvents.h"
#include "fakes/FakeWorkspace.h"
#include "io/AccessControlLock.h"
#include "io/DataDirectory.h"
#include "store/PolicySnapshot.h"
#include "store/PolicyStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// Start-up and lock-all of the coordinator with a large policy: 20 applications and 100 folders,
// real directories and desktop entries, fakes for the desktop. Run through tests/unprivileged.sh so
// that locks are really checked.
namespace {
struct NoLoginItems : LoginItems
{
    bool isRegistered() const override { return false; }
    std::optional<QString> registerItem() override { return std::nullopt; }
    std::optional<QString> unregisterItem() override { return std::nullopt; }
};

struct Desk
{
    QTemporaryDir home;
    FakeClock clock;
    FakeAuthenticator authenticator;
    FakeSecretStore secrets;
    FakeWorkspace workspace;
    FakeShieldDisplay display;
    FakeSystemEvents events;
    NoLoginItems loginItems;
    FakeAppearance appearance;
    FakeInstalledApps installed;
    PolicySnapshot snapshot;

    Desk()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
        for (int i = 0; i < 20; ++i) {
            const QString entry = home.filePath(QStringLiteral("app%1.desktop").arg(i));
            QFile file(entry);
            file.open(QIODevice::WriteOnly);
            file.write("[Desktop Entry]\nType=Application\nName=App\nExec=true\n");
            snapshot.apps.append(
                {QStringLiteral("org.example.App%1").arg(i), QStringLiteral("App %1").arg(i), entry});
            workspace.running.append(QStringLiteral("org.example.App%1").arg(i));
        }
        for (int i = 0; i < 100; ++i) {
            const QString path = home.filePath(QStringLiteral("Folder%1").arg(i));
            QDir().mkpath(path);
            snapshot.folders.append(
                {QUuid::createUuid(), path, QStringLiteral("Folder%1").arg(i), true, true, 10});
        }
    }
    ~Desk()
    {
        for (const ProtectedFolder& f : snapshot.folders)
            AccessControlLock::unlockAndVerify(f.path);
        for (const ProtectedApp& a : snapshot.apps)
            AccessControlLock::unlockAndVerify(a.appPath);
    }
    void store(bool foldersLocked)
    {
        PolicySnapshot s = snapshot;
        for (ProtectedFolder& f : s.folders)
            f.isLocked = foldersLocked;
        QFile file(DataDirectory::filePath("policies.json"));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(s.encode());
    }
    std::unique_ptr<AppState> state()
    {
        return std::make_unique<AppState>(PlatformServices{clock, authenticator, secrets, workspace, display,
                                                           installed, events, loginItems, appearance,
                                                           home.path(), DataDirectory::path()});
    }
};
} // namespace

// From construction (both documents loaded) to the end of start(): protection active.
static void startWithLargePolicy(benchmark::State& state)
{
    Desk desk;
    for (auto _ : state) {
        state.PauseTiming();
        desk.store(true);
        state.ResumeTiming();
        auto appState = desk.state();
        appState->start();
        state.PauseTiming();
        appState.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(startWithLargePolicy)->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(3);

// Lock-all with every application and every folder unlocked: apps first, then folders, saves included.
static void lockAllUnlocked(benchmark::State& state)
{
    Desk desk;
    desk.store(false);
    auto appState = desk.state();
    appState->start();
    for (auto _ : state) {
        state.PauseTiming();
        QList<ProtectedFolder> folders = appState->policy()->folders();
        for (ProtectedFolder& f : folders) {
            AccessControlLock::unlockAndVerify(f.path);
            f.isLocked = false;
        }
        appState->policy()->setFolders(folders);
        QSet<QString> unlocked;
        for (const ProtectedApp& a : desk.snapshot.apps)
            unlocked.insert(a.bundleID);
        appState->sessions()->setUnlockedApps(unlocked);
        state.ResumeTiming();
        appState->relockEverything(QStringLiteral("Manual lock-all"));
    }
}
BENCHMARK(lockAllUnlocked)->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(3);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
