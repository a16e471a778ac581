#pragma once

#include <QString>

#include <optional>

// Starting Veilmark when the user logs in.
class LoginItems
{
public:
    virtual ~LoginItems() = default;

    virtual bool isRegistered() const = 0;
    // nullopt on success, else the system's error text.
    virtual std::optional<QString> registerItem() = 0;
    virtual std::optional<QString> unregisterItem() = 0;
};
