#include "CPrmConverterInFormat.h"

#include <span>

namespace {

constexpr const char* kRates[] = {"60p", "59.94p", "50p", "30p", "29.97p", "25p", "24p", "23.98p"};
constexpr const char* kHighRates[] = {"240p", "239.8p", "200p", "144p", "120p", "119.9p", "100p"};
constexpr const char* kInterlacedRates[] = {"60i", "59.94i", "50i"};
constexpr const char* kNtscRates[] = {"60p", "59.94p"};
constexpr const char* kPalRates[] = {"50p"};

struct FormatGroup {
    const char* mResolution;
    std::span<const char* const> mRates;
};

// Value order: each group's rates in turn.
constexpr FormatGroup kFormatGroups[] = {
    {"4096x2160", kRates},           // 0-7
    {"3840x2160", kRates},           // 8-15
    {"2048x1080", kRates},           // 16-23
    {"1920x1080", kHighRates},       // 24-30
    {"1920x1080", kRates},           // 31-38
    {"1920x1080", kInterlacedRates}, // 39-41
    {"1280x720", kRates},            // 42-49
    {"720x480", kNtscRates},         // 50-51
    {"720x576", kPalRates},          // 52
};

constexpr const char* kOtherFormat = "PC(IT) Format"; // 53

} // namespace

CPrmConverterInFormat::CPrmConverterInFormat() {
    for (const FormatGroup& group : kFormatGroups) {
        for (const char* rate : group.mRates) {
            LString item(group.mResolution);
            item += "/";
            item += rate;
            *this << item;
        }
    }
    *this << kOtherFormat;
}

LString CPrmConverterInFormat::PrmValueToString(int value) const {
    return value == kUnsupported ? LString("Unsupport")
                                 : LPrmConverterStrList::PrmValueToString(value);
}
