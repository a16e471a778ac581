#pragma once

#include <QByteArray>
#include <QFile>

// A field of /proc/self/status in MiB (VmRSS, RssAnon, RssFile).
inline double statusMiB(const QByteArray& field = QByteArrayLiteral("VmRSS:"))
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}
