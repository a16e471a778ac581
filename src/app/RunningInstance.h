#pragma once

#include <QByteArray>
#include <QString>

// The Veilmark already running in this session, as the command-line verbs reach it.
class RunningInstance
{
public:
    virtual ~RunningInstance() = default;

    struct Reply
    {
        enum class Reach
        {
            // It answered; `body` holds what it said.
            answered,
            // None is running.
            none,
            // One is running (or might be) and did not answer as asked; `error` says how.
            failed,
        };
        Reach reach = Reach::none;
        QByteArray body;
        QString error;
    };

    // Applications first, then folders, as the window's Lock All does.
    virtual Reply lockEverything() = 0;
    // A StatusReport in its JSON form.
    virtual Reply status() = 0;
};
