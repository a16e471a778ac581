#pragma once

#include "auth/Clock.h"

#include <QDateTime>
#include <QList>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

// A Clock whose time moves only when a test says so. Alarms fire synchronously from advanceTo(), in
// deadline order (ties in the order they were armed), each at most once.
class FakeClock : public Clock
{
public:
    explicit FakeClock(const QDateTime& start = QDateTime(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC))
    {
        m_state->now = start;
    }

    QDateTime now() const override { return m_state->now; }

    std::unique_ptr<Alarm> alarmAt(const QDateTime& deadline, std::function<void()> action) override
    {
        const quint64 serial = ++m_state->lastSerial;
        m_state->alarms[serial] = {deadline, std::move(action), false};
        // Shared with the alarm, so an alarm outliving the clock is harmless.
        return std::make_unique<FakeAlarm>([state = std::weak_ptr(m_state), serial] {
            if (const auto alive = state.lock())
                alive->alarms.erase(serial);
        });
    }

    void setNow(const QDateTime& time) { m_state->now = time; }

    // Moves the clock to `time` and fires every armed alarm due by then, including alarms armed by
    // the actions it runs.
    void advanceTo(const QDateTime& time)
    {
        m_state->now = time;
        for (;;) {
            Entry* due = nullptr;
            for (auto& [serial, entry] : m_state->alarms) {
                if (!entry.fired && entry.deadline <= time && (!due || entry.deadline < due->deadline))
                    due = &entry;
            }
            if (!due)
                return;
            due->fired = true;
            // Copied: the action may destroy its own alarm, which erases the entry.
            const std::function<void()> action = due->action;
            action();
        }
    }

    void advance(qint64 seconds) { advanceTo(m_state->now.addSecs(seconds)); }

    // Alarms that are armed and have not fired yet.
    int pendingAlarms() const { return int(pendingDeadlines().size()); }

    // Alarms whose owner still holds them, fired or not.
    int heldAlarms() const { return int(m_state->alarms.size()); }

    // Deadlines of the pending alarms, earliest first.
    QList<QDateTime> pendingDeadlines() const
    {
        QList<QDateTime> deadlines;
        for (const auto& [serial, entry] : m_state->alarms) {
            if (!entry.fired)
                deadlines.append(entry.deadline);
        }
        std::sort(deadlines.begin(), deadlines.end());
        return deadlines;
    }

private:
    struct Entry
    {
        QDateTime deadline;
        std::function<void()> action;
        bool fired;
    };
    struct State
    {
        QDateTime now;
        std::map<quint64, Entry> alarms; // by serial, so in the order they were armed
        quint64 lastSerial = 0;
    };
    class FakeAlarm : public Alarm
    {
    public:
        explicit FakeAlarm(std::function<void()> cancel)
            : m_cancel(std::move(cancel))
        {}
        ~FakeAlarm() override { m_cancel(); }

    private:
        std::function<void()> m_cancel;
    };

    std::shared_ptr<State> m_state = std::make_shared<State>();
};
