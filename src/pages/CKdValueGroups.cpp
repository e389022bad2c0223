#include "CKdValueGroups.h"

#include <cctype>

namespace {

using G = CKdValueGroups::_SGroup;
using K = CKdValueGroups::EKind;

// kind, first identifier, row label
constexpr G kGroups[] = {
    {K::Colour, 121, "No Signal Color"},   {K::Colour, 223, "Wipe Border Color"},
    {K::Colour, 236, "PinP Border Color"}, {K::Colour, 246, "Split Border Color"},
    {K::Colour, 270, "Fade Color"},        {K::Address, 500, "SNTP Server Address"},
    {K::Clock, 510, "Date and Time"},      {K::Address, 600, "SNMP Manager Address"},
    {K::Address, 900, "IP Address"},       {K::Address, 910, "Subnet Mask"},
    {K::Address, 920, "Default Gateway"},
};

constexpr int kMaxPartDigits = 3;
constexpr int kMaxPart = 255;

} // namespace

std::span<const CKdValueGroups::_SGroup> CKdValueGroups::Groups() {
    return kGroups;
}

const CKdValueGroups::_SGroup* CKdValueGroups::GroupAt(long id) {
    for (const G& group : kGroups)
        if (group.mFirstPrmID == id) return &group;
    return nullptr;
}

int CKdValueGroups::PrmCount(EKind kind) {
    switch (kind) {
    case K::Address:
        return kAddressParts;
    case K::Colour:
        return 3;
    case K::Clock:
        return 7;
    }
    return 0;
}

CKdValueGroups::EAddressEntry CKdValueGroups::ReadAddress(const char* text, Address& parts,
                                                          int& part) {
    parts = {};
    part = -1;
    if (!text) return EAddressEntry::Malformed;
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
    while (std::isspace(*at))
        ++at;
    for (int k = 0; k < kAddressParts; ++k) {
        if (k > 0 && *at++ != '.') return EAddressEntry::Malformed;
        int digits = 0;
        for (; std::isdigit(*at) && digits < kMaxPartDigits; ++at, ++digits)
            parts[k] = parts[k] * 10 + (*at - '0');
        if (digits == 0 || std::isdigit(*at)) return EAddressEntry::Malformed;
    }
    while (std::isspace(*at))
        ++at;
    if (*at) return EAddressEntry::Malformed;
    for (int k = 0; k < kAddressParts; ++k)
        if (parts[k] > kMaxPart) {
            part = k;
            return EAddressEntry::OutOfRange;
        }
    return EAddressEntry::Taken;
}
