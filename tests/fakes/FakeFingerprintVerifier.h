#pragma once

#include "auth/FingerprintVerifier.h"

// A reader the test scans fingers on.
class FakeFingerprintVerifier : public FingerprintVerifier
{
public:
    bool device = true;
    bool prints = true;
    bool running = false;
    int starts = 0;

    bool hasDevice() override { return device; }
    bool hasEnrolledPrints() override { return prints; }
    void start() override
    {
        running = true;
        ++starts;
    }
    void cancel() override { running = false; }

    void fail(Scan scan) { emit scanFailed(scan); }
    void end(Authenticator::Result result)
    {
        running = false;
        emit finished(result, {});
    }
};
