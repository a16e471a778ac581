#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The window in which the user proves presence: the reason, a status line, and either the
// fingerprint state with "Enter Password…" or a password field; "Cancel" in both.
class PresencePrompt : public QObject
{
    Q_OBJECT

public:
    enum class Mode
    {
        fingerprint,
        password,
    };

    using QObject::QObject;

    virtual void open(Mode mode, const QString& reason) = 0;
    virtual void setStatus(const QString& text, bool isError) = 0;
    // While a password is checked, or while failed attempts make the user wait, the field and the
    // buttons but Cancel are disabled.
    virtual void setBusy(bool busy) = 0;
    virtual void close() = 0;

signals:
    // The bytes are wiped as soon as the receivers return: a receiver that needs them later
    // copies them (deeply) and wipes its copy.
    void passwordSubmitted(QByteArray password);
    void fallbackRequested();
    void cancelled();
};
