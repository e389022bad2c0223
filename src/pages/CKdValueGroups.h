#pragma once

#include <array>
#include <span>

// Runs of parameters that people read as one value: an IPv4 address over four octets, a colour
// over red, green and blue, the switcher's clock over date, time and zone. The pages show an
// address as one dotted field in place of its four rows, and add a colour swatch after a
// colour's rows and a "Set from this computer" button after the clock's. The parameters, their
// requests and every other client keep the single identifiers.
class CKdValueGroups {
public:
    enum class EKind {
        Address, // four octets, first to first + 3
        Colour,  // red, green, blue, first to first + 2
        Clock,   // year, month, day, hour, minute, second, zone, first to first + 6
    };

    struct _SGroup {
        EKind mKind;
        long mFirstPrmID;
        const char* mLabel; // the label of the row that shows the group
    };

    static constexpr int kAddressParts = 4;
    using Address = std::array<int, kAddressParts>;

    // Why a typed address is refused; Taken when it is not.
    enum class EAddressEntry { Taken, Malformed, OutOfRange };

    static std::span<const _SGroup> Groups();
    // The group whose first identifier is id, or null.
    static const _SGroup* GroupAt(long id);
    // The number of parameters a group of kind spans.
    static int PrmCount(EKind kind);

    // Reads "a.b.c.d": four decimal parts of one to three digits, each 0 to 255, blanks around
    // the whole allowed. parts holds what was read; on OutOfRange, part is the first part above
    // 255 (0 to 3).
    static EAddressEntry ReadAddress(const char* text, Address& parts, int& part);
};
