#pragma once

#include "auth/Clock.h"

#include <QDateTime>
#include <QList>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

// A Clock whose time moves only when a test says so. Alarms fire synchronously from advanceTo(), in
// deadline order (ties in the order they were armed), each at most once.
class FakeClock : public Clock
{
public:
    explicit FakeClock(const QDateTime& start = QDateTime(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC))
        : m_state(std::make_shared<State>())
    {
        m_state->now = start;
    }

    QDateTime now() const override { return m_state->now; }

    std::unique_ptr<Alarm> alarmAt(const QDateTime& deadline, std::function<void()> action) override
    {
        const quint64 serial = ++m_state->lastSerial;
        m_state->alarms.push_back(Entry{serial, deadline, std::move(action), false});
        return std::make_unique<FakeAlarm>(m_state, serial);
    }

    void setNow(const QDateTime& time) { m_state->now = time; }

    // Moves the clock to `time` and fires every armed alarm due by then, including alarms armed by
    // the actions it runs.
    void advanceTo(const QDateTime& time)
    {
        m_state->now = time;
        for (;;) {
            Entry* due = nullptr;
            for (Entry& entry : m_state->alarms) {
                if (!entry.fired && entry.deadline <= time && (!due || entry.deadline < due->deadline)) {
                    due = &entry;
                }
            }
            if (!due) {
                return;
            }
            due->fired = true;
            // Copied: the action may destroy its own alarm, which erases the entry.
            const std::function<void()> action = due->action;
            action();
        }
    }

    void advance(qint64 seconds) { advanceTo(m_state->now.addSecs(seconds)); }

    // Alarms that are armed and have not fired yet.
    int pendingAlarms() const
    {
        return static_cast<int>(std::count_if(m_state->alarms.begin(), m_state->alarms.end(),
                                              [](const Entry& e) { return !e.fired; }));
    }

    // Alarms whose owner still holds them, fired or not.
    int heldAlarms() const { return static_cast<int>(m_state->alarms.size()); }

    // Deadlines of the pending alarms, earliest first.
    QList<QDateTime> pendingDeadlines() const
    {
        QList<QDateTime> deadlines;
        for (const Entry& entry : m_state->alarms) {
            if (!entry.fired) {
                deadlines.append(entry.deadline);
            }
        }
        std::sort(deadlines.begin(), deadlines.end());
        return deadlines;
    }

private:
    struct Entry
    {
        quint64 serial;
        QDateTime deadline;
        std::function<void()> action;
        bool fired;
    };
    struct State
    {
        QDateTime now;
        std::vector<Entry> alarms;
        quint64 lastSerial = 0;
    };

    class FakeAlarm : public Alarm
    {
    public:
        FakeAlarm(const std::shared_ptr<State>& state, quint64 serial)
            : m_state(state)
            , m_serial(serial)
        {}
        ~FakeAlarm() override
        {
            if (const auto state = m_state.lock()) {
                std::erase_if(state->alarms, [this](const Entry& e) { return e.serial == m_serial; });
            }
        }

    private:
        std::weak_ptr<State> m_state;
        quint64 m_serial;
    };

    // Shared with the alarms, so an alarm outliving the clock is harmless.
    std::shared_ptr<State> m_state;
};
