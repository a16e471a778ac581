#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// Runs a real event loop (one that blocks between events, as Veilmark's does: deferred deletions
// happen and Wayland requests are sent) for `ms`, or until `done` holds; QTest's waits nap between
// rounds instead, which would add to every figure. False when `done` never held.
inline bool spin(int ms, const std::function<bool()>& done = {})
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if ((done && done()) || timer.elapsed() >= ms)
            loop.quit();
    });
    tick.start(1);
    loop.exec();
    return !done || done();
}

// One line of figures: median, p99 and max of `samples`, in ms.
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
