#pragma once

#include "model/ProtectedApp.h"
#include "model/ProtectedFolder.h"
#include "model/VeilmarkSettings.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <optional>

// The content of policies.json.
struct PolicySnapshot
{
    // What one policy holds at most; beyond that, lists and saves grow slow for no real use.
    static constexpr qsizetype MaxApps = 1000;
    static constexpr qsizetype MaxFolders = 10000;

    QList<ProtectedApp> apps;
    QList<ProtectedFolder> folders;
    VeilmarkSettings settings;

    // Indented JSON with the keys of every object in ascending order.
    QByteArray encode() const;
    // Record by record: every app and folder that decodes on its own is kept, and the settings
    // when they decode (the defaults otherwise), so one bad record never costs the others.
    // Records beyond MaxApps and MaxFolders are left out and reported too.
    // `problems` lists what was dropped ("apps[2] ..."). Nothing is kept from a document that is
    // not JSON, not an object, or whose apps and folders are not arrays or settings not an object.
    static std::optional<PolicySnapshot> decode(const QByteArray& bytes, QStringList* problems = nullptr);

    friend bool operator==(const PolicySnapshot&, const PolicySnapshot&) = default;
};
