#pragma once

#include <QByteArray>
#include <QString>

// Wipes a secret where it lies. Qt's strings share their storage between copies, and a copy's
// data() would first make a private one and wipe only that; these zero the shared storage itself,
// so every copy still holding it (a QML field's text, a signal's argument) loses the secret too.
class SecretBuffer
{
public:
    static void wipe(QByteArray& bytes);
    static void wipe(QString& text);
};
