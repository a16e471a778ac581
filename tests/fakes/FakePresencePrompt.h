#pragma once

#include "auth/PresencePrompt.h"

// Stands in for the prompt window: remembers what it was asked to show and lets a test act as
// the user.
class FakePresencePrompt : public PresencePrompt
{
public:
    bool isOpen = false;
    Mode mode = Mode::password;
    QString reason;
    QString status;
    bool statusIsError = false;
    bool busy = false;
    int opens = 0;

    void open(Mode m, const QString& r) override
    {
        isOpen = true;
        mode = m;
        reason = r;
        busy = false;
        ++opens;
    }
    void setStatus(const QString& text, bool isError) override
    {
        status = text;
        statusIsError = isError;
    }
    void setBusy(bool b) override { busy = b; }
    void close() override { isOpen = false; }

    void type(const QByteArray& password) { emit passwordSubmitted(password); }
    void pressFallback() { emit fallbackRequested(); }
    void pressCancel() { emit cancelled(); }
};
