#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <sys/types.h>

class QSocketNotifier;

// A small second process that relocks when Veilmark ends without its quit path (SIGKILL, a crash,
// the OOM killer, Qt's exit when the X server goes away). It is this executable started again with
// `--guardian`, holding one end of a socket pair and a pidfd of Veilmark. A clean quit says goodbye
// over the socket once everything is relocked and the policy saved, and the guardian ends without
// touching anything; any other end makes it relock from the stored policy at once.
//
// The guardian sits in a process group of its own and ignores SIGINT, SIGTERM, SIGHUP and SIGQUIT:
// Ctrl-C or a logout asks Veilmark to quit, which says goodbye, while Ctrl-\ or a kill of the whole
// group kills Veilmark uncleanly, and then the guardian must still be there. It never outlives
// Veilmark by more than its relock. A process that SIGKILLs both is beyond it (see README).
class Guardian : public QObject
{
    Q_OBJECT

public:
    static inline const char* const Argument = "--guardian";

    explicit Guardian(QObject* parent = nullptr);
    ~Guardian() override;

    Guardian(const Guardian&) = delete;
    Guardian& operator=(const Guardian&) = delete;

    // In Veilmark: starts the guardian; the error text when it could not be started.
    std::optional<QString> start();
    // The quit path is done: the guardian ends without relocking.
    void sayGoodbye();
    bool isRunning() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }

    // How Veilmark ended when it did not say goodbye.
    enum class End
    {
        withoutQuitPath,
        killed,
    };
    // The activity log's words for `end`, in the language installed when asked.
    static QString cause(End end);

    // In the guardian process (argv: veilmark --guardian <Veilmark's pid>): waits for Veilmark to end
    // and calls `relock` with how it ended unless it said goodbye. Returns the process's exit status.
    static int run(int argc, char* argv[], const std::function<void(End end)>& relock);

signals:
    // The guardian ended while Veilmark runs: a SIGKILL would now leave unlocked things open.
    void lost(const QString& why);

private:
    void onSocketClosed();

    pid_t m_pid = -1;
    QSocketNotifier* m_notifier = nullptr;
};
