#pragma once

#include <QDateTime>
#include <QString>

class Clock;

// Slows down guessing: after FreeAttempts failed attempts in a row (wrong passwords and unknown
// fingers alike) the next attempt waits, 30 s at first and twice as long after each further
// failure, at most 15 minutes. The count and the moment of the last failure are kept in a small
// document in the data directory, so quitting Veilmark does not reset them; a success does.
class AttemptBackoff
{
public:
    static constexpr int FreeAttempts = 5;
    static constexpr qint64 FirstDelaySeconds = 30;
    static constexpr qint64 LongestDelaySeconds = 15 * 60;

    struct State
    {
        int failures = 0;
        QDateTime lastFailure;
    };

    // Reads `path` at once. A document that cannot be read or decoded counts as the longest wait,
    // starting now: it can only come from damage or tampering, and a lock does not open for that.
    AttemptBackoff(Clock& clock, const QString& path);

    Clock& clock() const { return m_clock; }
    int failures() const { return m_state.failures; }
    void recordFailure();
    void recordSuccess();
    // Seconds until the next attempt is allowed; 0 when it is allowed now. Never more than the
    // current step, whatever the stored moment or the wall clock says.
    qint64 secondsRemaining() const;

    // The wait after `failures` failures in a row.
    static qint64 delayAfter(int failures);
    // "Try again in 2 minutes", "Try again in 30 seconds".
    static QString waitText(qint64 seconds);
    static QByteArray encode(const State& state);
    static std::optional<State> decode(const QByteArray& bytes);

private:
    void save();

    Clock& m_clock;
    QString m_path;
    // Mutable: a last failure found in the future is moved to the present when read.
    mutable State m_state;
};
