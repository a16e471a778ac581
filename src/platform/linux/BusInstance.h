#pragma once

#include "app/RunningInstance.h"

// The running Veilmark, reached through its interface on the session bus. No session bus, or no
// owner of Veilmark's name, is no instance; an owner that does not answer the call has failed.
class BusInstance : public RunningInstance
{
public:
    Reply lockEverything() override;
    Reply status() override;

private:
    static Reply call(const QString& method);
};
