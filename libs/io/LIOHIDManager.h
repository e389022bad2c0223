#pragma once

#include "LIOHIDDevice.h"
#include "LIOHIDObject.h"
#include "LObjList_.h"

#include <optional>

// Finds HID devices: hidraw nodes of USB HID devices, and virtual devices announced by records.
class LIOHIDManager : public LIOHIDObject {
public:
    // What MatchingDevices looks for; the location is compared only when given.
    struct _SMatching {
        long vendorID = 0;
        long productID = 0;
        std::optional<long> locationID;
    };

    // The devices present now that match, each a new device of this manager held only by the
    // list: hidraw devices in enumeration order, then virtual devices in record name order.
    // The manager need not be open.
    LObjList_<LIOHIDDevice> MatchingDevices(const _SMatching& matching);
};
