#pragma once

#include <cstdint>

// The switcher's USB vendor and product identifiers. Its USB controller's bootloader reports the
// same pair.
inline constexpr uint32_t kKdUsbVendorID = 0x1209;
inline constexpr uint32_t kKdUsbProductID = 0x4B31;
