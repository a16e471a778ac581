#pragma once

#include "auth/Authenticator.h"

#include <QObject>
#include <QString>

// The fingerprint reader as the prompt uses it: one verification at a time against any enrolled
// finger. The reader reports each failed scan; counting failed scans is the prompt's business, so a
// no-match keeps the verification running until the prompt ends it.
class FingerprintVerifier : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // May block briefly; false whenever the reader's service does not answer.
    virtual bool hasDevice() = 0;
    virtual bool hasEnrolledPrints() = 0;
    // Starts a verification; ignored while one runs. Ends in exactly one finished() unless cancelled.
    virtual void start() = 0;
    // Ends the running verification without finished().
    virtual void cancel() = 0;

    // Why a scan did not count; the reader is already waiting for the next one.
    enum class Scan
    {
        noMatch,
        swipeTooShort,
        notCentered,
        removeAndRetry,
        retryScan,
    };
    Q_ENUM(Scan)

signals:
    void scanFailed(FingerprintVerifier::Scan scan);
    // success, or why no verification is possible (notAvailable, notEnrolled, otherError).
    void finished(Authenticator::Result result, const QString& description);
};
