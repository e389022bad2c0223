#include "LUdev.h"

LUdev LUdev::Create() {
    LUdev context;
    context << udev_new();
    return context;
}
