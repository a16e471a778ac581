#include "platform/linux/Guardian.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
Q_LOGGING_CATEGORY(lcGuardian, "veilmark.guardian")

// Bytes Veilmark sends: the quit path has relocked and saved; or the process is exiting without it
// (Qt calls exit() when the X server goes away).
constexpr char Goodbye = 'Q';
constexpr char ExitWithoutQuit = 'E';
// The guardian's end of the socket pair.
constexpr int GuardianFd = 3;

// Veilmark's end, also for the exit handler, which runs when no object may be reachable any more.
int s_socket = -1;
bool s_exitHandlerInstalled = false;

void sendByte(char byte)
{
    if (s_socket >= 0)
        while (::send(s_socket, &byte, 1, MSG_NOSIGNAL) < 0 && errno == EINTR) {
        }
}

// Runs inside exit(): the quit path did not run (or it would have said goodbye and closed the socket).
void onExit()
{
    sendByte(ExitWithoutQuit);
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int pidfdOpen(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    errno = ENOSYS;
    return -1;
#endif
}
} // namespace

Guardian::Guardian(QObject* parent)
    : QObject(parent)
{}

Guardian::~Guardian()
{
    if (s_socket >= 0) {
        ::close(s_socket);
        s_socket = -1;
    }
}

std::optional<QString> Guardian::start()
{
    if (m_pid > 0)
        return std::nullopt;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return tr("cannot create its socket: %1").arg(errorText(errno));
    // dup2 onto the same number would keep close-on-exec set, and the guardian would start without it.
    if (pair[1] == GuardianFd) {
        const int moved = ::fcntl(pair[1], F_DUPFD_CLOEXEC, GuardianFd + 1);
        ::close(pair[1]);
        pair[1] = moved;
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, pair[1], GuardianFd);
    // A group of its own: signals for Veilmark's group (the terminal's Ctrl-C, Ctrl-\) miss it.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGCHLD})
        sigaddset(&defaults, signalNumber);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const QByteArray ownPid = QByteArray::number(::getpid());
    char name[] = "veilmark";
    char argument[] = "--guardian";
    char* const argv[] = {name, argument, const_cast<char*>(ownPid.constData()), nullptr};
    pid_t pid = -1;
    // /proc/self/exe: the very executable that runs, even if a newer one has been installed since.
    const int error = ::posix_spawn(&pid, "/proc/self/exe", &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pair[1]);
    if (error != 0 || pair[1] < 0) {
        ::close(pair[0]);
        return tr("cannot start it: %1").arg(errorText(error != 0 ? error : EBADF));
    }
    m_pid = pid;
    s_socket = pair[0];
    if (!s_exitHandlerInstalled)
        s_exitHandlerInstalled = std::atexit(onExit) == 0;
    // The guardian never writes: its end becoming readable means it has ended.
    m_notifier = new QSocketNotifier(s_socket, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &Guardian::onSocketClosed);
    return std::nullopt;
}

void Guardian::sayGoodbye()
{
    if (s_socket < 0)
        return;
    delete m_notifier;
    m_notifier = nullptr;
    sendByte(Goodbye);
    ::close(s_socket);
    s_socket = -1;
}

void Guardian::onSocketClosed()
{
    delete m_notifier;
    m_notifier = nullptr;
    ::close(s_socket);
    s_socket = -1;
    int status = 0;
    QString why = tr("it ended");
    // Its socket closes as it exits, so this waits no longer than the end of its exit.
    pid_t waited = -1;
    while ((waited = ::waitpid(m_pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited == m_pid) {
        if (WIFSIGNALED(status))
            why = tr("it was killed by signal %1 (%2)")
                      .arg(WTERMSIG(status))
                      .arg(QString::fromLocal8Bit(strsignal(WTERMSIG(status))));
        else if (WIFEXITED(status))
            why = tr("it exited with status %1").arg(WEXITSTATUS(status));
    }
    m_pid = -1;
    qCWarning(lcGuardian) << "the guardian ended while Veilmark runs:" << why;
    emit lost(why);
}

QString Guardian::cause(End end)
{
    switch (end) {
    case End::withoutQuitPath:
        return tr("Veilmark exited without its quit path (the display connection was lost, or it gave up on "
                  "an error)");
    case End::killed:
        break;
    }
    return tr("Veilmark was killed or crashed");
}

int Guardian::run(int argc, char* argv[], const std::function<void(End end)>& relock)
{
    struct stat socketInfo
    {
    };
    const pid_t veilmark = argc >= 3 ? static_cast<pid_t>(std::atol(argv[2])) : 0;
    if (veilmark <= 0 || ::fstat(GuardianFd, &socketInfo) != 0 || !S_ISSOCK(socketInfo.st_mode)) {
        std::fputs("veilmark: --guardian is started by Veilmark itself, not by hand\n", stderr);
        return 2;
    }
    ::fcntl(GuardianFd, F_SETFD, FD_CLOEXEC);
    // Only the socket is kept: no display, bus or file of Veilmark's stays open because of it.
    for (int fd = GuardianFd + 1; fd < 1024; ++fd)
        ::close(fd);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
        std::signal(signalNumber, SIG_IGN);

    // Veilmark's end is seen two ways: its socket closing, and (where pidfds exist) the process
    // itself, should a child that kept the socket outlive it.
    const int process = pidfdOpen(veilmark);
    const bool alreadyGone = process < 0 && errno == ESRCH;
    pollfd watched[2] = {{GuardianFd, POLLIN, 0}, {process, POLLIN, 0}};
    char last = 0;
    bool ended = alreadyGone;
    while (!ended) {
        if (::poll(watched, process >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (watched[0].revents != 0) {
            char byte = 0;
            const ssize_t got = ::recv(GuardianFd, &byte, 1, 0);
            if (got == 1) {
                last = byte;
                if (byte == Goodbye)
                    return 0;
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            ended = true;
        }
        if (process >= 0 && watched[1].revents != 0)
            ended = true;
    }
    // A goodbye sent just before the end is still in the socket.
    char byte = 0;
    while (::recv(GuardianFd, &byte, 1, MSG_DONTWAIT) == 1)
        last = byte;
    if (last == Goodbye)
        return 0;
    relock(last == ExitWithoutQuit ? End::withoutQuitPath : End::killed);
    return 0;
}
