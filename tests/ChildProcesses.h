#pragma once

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>

// Helpers for tests that start services of their own (buses, mocks, daemons).

// The children must not outlive a crashed or killed test: the kernel kills them when it dies.
inline void dieWithTest(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

// Asks politely, then insists.
inline void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}
