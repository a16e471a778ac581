#pragma once

#include "BenchSupport.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <chrono>

// What the shield benches on Wayland compositors share besides BenchSupport.h: their clock and the
// test client. Needs VEILMARK_WAYLAND_TEST_CLIENT (the bench's CMake entry defines it).
namespace WaylandBench {
using SteadyClock = std::chrono::steady_clock;

inline double ms(SteadyClock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
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

} // namespace WaylandBench
