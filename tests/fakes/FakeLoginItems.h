#pragma once

#include "app/LoginItems.h"

#include <QStringList>

// A login item that is registered or not as the test says, and can be told to fail.
struct ScriptedLoginItems : LoginItems
{
    bool registered = false;
    std::optional<QString> failure;
    QStringList calls;
    bool isRegistered() const override { return registered; }
    std::optional<QString> registerItem() override
    {
        calls << "register";
        if (!failure)
            registered = true;
        return failure;
    }
    std::optional<QString> unregisterItem() override
    {
        calls << "unregister";
        if (!failure)
            registered = false;
        return failure;
    }
};
