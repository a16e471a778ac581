#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

// What the shield benches on Wayland compositors share: figures, the test client, and waiting in a
// real event loop. Needs VEILMARK_WAYLAND_TEST_CLIENT (the bench's CMake entry defines it).
namespace WaylandBench {
using SteadyClock = std::chrono::steady_clock;

inline double ms(SteadyClock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

inline void report(const char* what, std::vector<double> samples)
{
    if (samples.empty()) {
        std::printf("%-58s no samples\n", what);
        return;
    }
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[std::min(samples.size() - 1, size_t(q * double(samples.size())))];
    };
    std::printf("%-58s n=%4zu  median %7.2f ms  p99 %7.2f ms  max %7.2f ms\n", what, samples.size(), at(0.5),
                at(0.99), samples.back());
}

// A window of one colour with that app_id, once it has shown; the caller owns it.
inline QProcess* startClient(const char* appId, const char* colour)
{
    auto* process = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "wayland");
    process->setProcessEnvironment(env);
    process->start(VEILMARK_WAYLAND_TEST_CLIENT, {appId, colour, "/dev/null"});
    process->waitForReadyRead(10000);
    return process;
}

// A real event loop, as Veilmark runs in: one that blocks between events sends its Wayland requests
// as it goes to sleep, and QTest::qWaitFor's naps would add to every figure.
template <typename Condition>
bool waitFor(const Condition& condition, int timeoutMs = 5000)
{
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer elapsed;
    elapsed.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition() || elapsed.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(1);
    loop.exec();
    return condition();
}
} // namespace WaylandBench
