#pragma once

#include "model/ProtectedApp.h"
#include "model/ProtectedFolder.h"
#include "model/VeilmarkSettings.h"

#include <QByteArray>
#include <QList>

#include <optional>

// The content of policies.json.
struct PolicySnapshot
{
    QList<ProtectedApp> apps;
    QList<ProtectedFolder> folders;
    VeilmarkSettings settings;

    // Indented JSON with the keys of every object in ascending order.
    QByteArray encode() const;
    // Strict: any missing member, wrong type or bad value rejects the whole document.
    static std::optional<PolicySnapshot> decode(const QByteArray& bytes);

    friend bool operator==(const PolicySnapshot&, const PolicySnapshot&) = default;
};
