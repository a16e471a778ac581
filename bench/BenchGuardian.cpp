#include "io/AccessControlLock.h"
#include "store/PolicySnapshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>

// How soon after a SIGKILL of Veilmark the guardian has relocked what was open: the real executable
// with N protected folders and one protected desktop entry, stopped while all of them are opened
// (as if unlocked), then killed; the clock runs from the kill until the last one cannot be opened.
// Run under tests/app-session.sh: BenchGuardian [runs].
namespace {
bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(bytes) >= 0;
}

double measure(int folders)
{
    QTemporaryDir root;
    const QString home = root.filePath("home");
    PolicySnapshot policy;
    QStringList paths;
    for (int i = 0; i < folders; ++i) {
        const QString path = home + QStringLiteral("/Folder%1").arg(i);
        QDir().mkpath(path);
        paths.append(path);
        policy.folders.append(
            {QUuid::createUuid(), path, QStringLiteral("Folder%1").arg(i), true, false, 10});
    }
    const QString entry = home + "/.local/share/applications/vmbench.desktop";
    writeFile(entry, "[Desktop Entry]\nType=Application\nName=Bench\nExec=true\n");
    paths.append(entry);
    policy.apps = {{"vmbench", "Bench", entry, true, true}};
    const QString events = home + "/.local/share/Veilmark/events.json";
    writeFile(home + "/.local/share/Veilmark/policies.json", policy.encode());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/.local/share");
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + root.filePath("no-system-bus"));
    QProcess veilmark;
    veilmark.setProcessEnvironment(env);
    veilmark.start(VEILMARK_BINARY, {"--background"});
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(events) && wait.elapsed() < 20000)
        QThread::msleep(10);
    const pid_t pid = static_cast<pid_t>(veilmark.processId());
    ::kill(pid, SIGSTOP);
    for (const QString& path : paths)
        AccessControlLock::unlockAndVerify(path);
    QElapsedTimer clock;
    clock.start();
    ::kill(pid, SIGKILL);
    const auto anyOpen = [&] {
        return std::any_of(paths.cbegin(), paths.cend(),
                           [](const QString& p) { return AccessControlLock::isAccessible(p); });
    };
    while (anyOpen() && clock.elapsed() < 10000)
        QThread::usleep(200);
    const double ms = clock.nsecsElapsed() / 1e6;
    veilmark.waitForFinished(5000);
    for (const QString& path : paths)
        AccessControlLock::unlockAndVerify(path);
    return ms;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    for (int folders : {1, 20, 100}) {
        QList<double> times;
        for (int run = 0; run < runs; ++run)
            times.append(measure(folders));
        std::sort(times.begin(), times.end());
        std::printf(
            "SIGKILL to everything relocked, %3d folders + 1 entry: median %.1f ms, max %.1f ms (%d runs)\n",
            folders, times.at(times.size() / 2), times.last(), runs);
    }
    return 0;
}
