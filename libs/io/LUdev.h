#pragma once

#include "LUdevType_.h"

#include <libudev.h>

// Owning wrapper of a libudev context.
class LUdev : public LUdevType_<udev, udev_ref, udev_unref> {
public:
    using LUdevType_::LUdevType_;
    using LUdevType_::operator=;

    // A new context; empty when libudev cannot create one.
    static LUdev Create();
};
