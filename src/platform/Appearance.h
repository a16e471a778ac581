#pragma once

#include "model/AppearanceMode.h"

// The colour scheme of every Veilmark window: `system` follows the desktop's preference,
// `light` and `dark` force one.
class Appearance
{
public:
    virtual ~Appearance() = default;

    virtual void apply(AppearanceMode mode) = 0;
};
