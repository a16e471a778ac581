#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class AppState;

// What every protected application and folder is right now, for `veilmark --status` and the
// Status() call on the session bus: the state probed on disk (folders) or held by the running
// protection (applications), never the stored wish, with each running unlock session's end.
// The JSON form is what scripts read and what travels over the bus; the table is for people.
class StatusReport
{
    Q_DECLARE_TR_FUNCTIONS(StatusReport)

public:
    struct Entry
    {
        // "app" or "folder".
        QString kind;
        // The desktop-file ID of an application, the id of a folder.
        QString id;
        QString name;
        QString path;
        bool enabled = true;
        // "locked", "unlocked", "off", "unwatched" (no running protection watches the application),
        // or a folder's error: "missing", "replaced", "notYours", "lockFailed".
        QString state;
        // The state for people, in the session's language, with the reason of an error.
        QString text;
        // When the unlock session ends; invalid without one.
        QDateTime sessionEnds;

        friend bool operator==(const Entry&, const Entry&) = default;
    };

    // Whether the report comes from a running Veilmark, or from the stored policy without one.
    bool running = false;
    QList<Entry> entries;

    // From the running instance's protection.
    static StatusReport of(const AppState& state);
    // Without a running instance: the stored policy, each folder probed on disk. Nothing is written.
    // What could not be read is left out and `error` says what; nothing when no policy could be read.
    static std::optional<StatusReport> ofStoredPolicy(const QString& homePath, const QString& dataDirectory,
                                                      QString* error);

    QByteArray toJson() const;
    static std::optional<StatusReport> fromJson(const QByteArray& json);
    // Aligned columns with a header; a first line says when Veilmark is not running.
    QString toTable() const;

    friend bool operator==(const StatusReport&, const StatusReport&) = default;
};
