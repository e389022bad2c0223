#include "CKdValueText.h"

#include "CKdPrmCatalogue.h"
#include "LPrmConverters.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using W = CKdPageCatalogue::EWidget;

constexpr int kStillMemories = 4;
constexpr int kMacOctets = 6;
constexpr int kSerialLength = 10;
constexpr double kSaneMagnitude = 1e9;

const LPrmConverter& ConverterOf(const CKdPageCatalogue::_SRow* row) {
    return row && row->mConverter ? *row->mConverter : gPrmConverterNop;
}

// The row that shows id as its own value, or null.
const CKdPageCatalogue::_SRow* ValueRow(long id) {
    const CKdPageCatalogue::_SRow* row = CKdPageCatalogue::RowForPrm(id);
    return row && row->mWidget != W::Exec ? row : nullptr;
}

// The whole text as a number, locale-independent: a whole number when integer is set, else a
// decimal one. False for anything else, and for numbers outside long.
bool IsNumber(std::string_view text, bool integer, double& result) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const char* first = text.data();
    const char* last = first + text.size();
    if (integer) {
        long whole = 0;
        const auto [end, error] = std::from_chars(first, last, whole);
        result = static_cast<double>(whole);
        return error == std::errc() && end == last && first != last;
    }
    const auto [end, error] = std::from_chars(first, last, result, std::chars_format::fixed);
    return error == std::errc() && end == last && first != last && std::isfinite(result);
}

// The text without surrounding blanks and without what the row shows after the value: its unit
// ("1.5 sec") or the second box ("100 (0.0 dB)").
std::string Bare(const CKdPageCatalogue::_SRow* row, const char* text) {
    std::string bare(text ? text : "");
    const auto trim = [&bare] {
        while (!bare.empty() && bare.back() == ' ')
            bare.pop_back();
        while (!bare.empty() && bare.front() == ' ')
            bare.erase(0, 1);
    };
    trim();
    if (row && row->mUnitConverter && !bare.empty() && bare.back() == ')') {
        const size_t open = bare.rfind(" (");
        if (open != std::string::npos) bare.erase(open);
    }
    if (row && row->mUnit) {
        const size_t unit = std::strlen(row->mUnit);
        if (bare.size() > unit && strcasecmp(bare.c_str() + bare.size() - unit, row->mUnit) == 0)
            bare.erase(bare.size() - unit);
    }
    trim();
    return bare;
}

// "LOW to HIGH" or the item list, in the texts the row shows.
LString Accepted(const LPrmConverter& converter, bool popUp,
                 const LPrmManager::_SRangeInfo& range) {
    if (!popUp)
        return LString(converter.PrmValueToString(range.mMin)) + " to " +
               converter.PrmValueToString(range.mMax);
    LString items;
    for (int v = range.mMin; v <= range.mMax; ++v) {
        if (v > range.mMin) items += ", ";
        items += converter.PrmValueToString(v);
    }
    return items;
}

// The values the converter shows just below and just above number: "1.5 or 1.6".
LString Nearest(const LPrmConverter& converter, const LPrmManager::_SRangeInfo& range,
                double number) {
    LString below, above;
    double belowNumber = -HUGE_VAL, aboveNumber = HUGE_VAL, shown = 0;
    for (int v = range.mMin; v <= range.mMax; ++v) {
        const LString text = converter.PrmValueToString(v);
        if (!IsNumber(text.CString(), false, shown)) continue;
        if (shown < number && shown > belowNumber) belowNumber = shown, below = text;
        if (shown > number && shown < aboveNumber) aboveNumber = shown, above = text;
    }
    if (below.Length() && above.Length()) return below + " or " + above;
    return below.Length() ? below : above;
}

} // namespace

int CKdValueText::PrmSpan(CKdPrmManager& session, long id) {
    LPrmManager::_SPrmInfo info;
    return session.PrmInfo(id, info) ? info.mWidth : 0;
}

int CKdValueText::RowSpan(CKdPrmManager& session, const Row& row) {
    switch (row.mWidget) {
    case W::Exec:
        return 0;
    case W::Name:
        return row.mLength;
    case W::StillMemory:
        return kStillMemories;
    case W::MacAddress:
        return kMacOctets;
    case W::SerialNumber:
        return kSerialLength;
    default:
        return PrmSpan(session, row.mPrmID);
    }
}

LString CKdValueText::RowText(CKdPrmManager& session, const Row& row) {
    const LPrmConverter& converter = ConverterOf(&row);
    const long id = row.mPrmID;
    const int value = session.Value(id, 0);
    LString text;
    switch (row.mWidget) {
    case W::PopUp: {
        const LPrmManager::_SRangeInfo range = session.ValueRange(id);
        if (value >= range.mMin && value <= range.mMax) text = converter.PrmValueToString(value);
        if (text.Length() == 0) text.Format("[%d]", value);
        return text;
    }
    case W::Spin:
        text = converter.PrmValueToString(value);
        if (row.mUnit) text = text + " " + row.mUnit;
        if (row.mUnitConverter)
            text = text + " (" + row.mUnitConverter->PrmValueToString(value) + ")";
        return text;
    case W::Value:
        return converter.PrmValueToString(value);
    case W::Name:
        return session.StringValue(id, row.mLength, 1, 0);
    case W::Exec:
        return "EXEC";
    case W::StillMemory: {
        int flags[kStillMemories];
        for (int i = 0; i < kStillMemories; ++i)
            flags[i] = session.Value(id + i, 0);
        return StillMemoryText(flags);
    }
    case W::MacAddress: {
        int octets[kMacOctets];
        for (int i = 0; i < kMacOctets; ++i)
            octets[i] = session.Value(id + i, 0);
        return MacAddressText(octets);
    }
    case W::SerialNumber:
        return session.StringValue(id, kSerialLength, 1, 0);
    }
    return text;
}

LString CKdValueText::StillMemoryText(const int* flags) {
    LString text;
    for (int i = 0; i < kStillMemories; ++i)
        text << (flags[i] ? '*' : '-');
    return text;
}

LString CKdValueText::MacAddressText(const int* octets) {
    LString text;
    for (int i = 0; i < kMacOctets; ++i)
        text += LString().Format(i ? ":%02x" : "%02x", octets[i] & 0xFF);
    return text;
}

LString CKdValueText::PrmText(CKdPrmManager& session, long id) {
    if (const Row* row = ValueRow(id)) return RowText(session, *row);
    return LString().Format("%d", session.Value(id, 0));
}

LString CKdValueText::Label(long id) {
    if (const char* label = CKdPrmManager::PrmLabel(id)) return label;
    return LString().Format("parameter %ld", id);
}

bool CKdValueText::ParseValue(CKdPrmManager& session, long id, const char* text, bool raw,
                              int& value, LString& error) {
    LPrmManager::_SPrmInfo info;
    if (!session.PrmInfo(id, info)) {
        if (CKdPrmCatalogue::FindExecRow(id))
            error.Format("%ld (%s) is an execute command, not a value", id, Label(id).CString());
        else
            error.Format("%ld is not a parameter of the switcher", id);
        return false;
    }
    const LPrmManager::_SRangeInfo range = session.ValueRange(id);
    if (range.mChecker == LPrmManager::PrmCheckerREADONLY) {
        error.Format("%ld (%s) is read-only", id, Label(id).CString());
        return false;
    }

    const Row* row = ValueRow(id);
    const LPrmConverter& converter = raw ? gPrmConverterNop : ConverterOf(row);
    const bool popUp = !raw && row && row->mWidget == W::PopUp;
    const bool plain = &converter == &gPrmConverterNop;
    const std::string bare = raw ? std::string(text) : Bare(row, text);

    // A text that the row shows for one of the values in range.
    if (!plain && !range.mChecker)
        for (int v = range.mMin; v <= range.mMax; ++v)
            if (strcasecmp(converter.PrmValueToString(v), bare.c_str()) == 0) {
                value = v;
                return true;
            }

    double number = 0;
    if (popUp || !IsNumber(bare, plain, number)) {
        error.Format(
            "\"%s\" is not a value of %ld (%s); it takes %s", text, id, Label(id).CString(),
            range.mChecker ? "a character code" : Accepted(converter, popUp, range).CString());
        return false;
    }
    // Far outside every parameter: refused before any conversion could overflow.
    const bool sane = std::fabs(number) <= kSaneMagnitude;
    value = !sane ? 0 : plain ? static_cast<int>(number) : converter.StringToPrmValue(bare.c_str());
    bool accepted = sane && (!plain || value == number);
    int checked = value;
    if (range.mChecker)
        accepted = accepted && range.mChecker(checked) && checked == value;
    else
        accepted = accepted && value >= range.mMin && value <= range.mMax;
    if (!accepted) {
        error.Format("\"%s\" is outside what %ld (%s) takes: %s", text, id, Label(id).CString(),
                     range.mChecker ? "0 or 32 to 127"
                                    : Accepted(converter, false, range).CString());
        return false;
    }
    // A number between two steps of the converter ("1.55" for tenths) would be rounded.
    double shown = 0;
    if (!plain && IsNumber(converter.PrmValueToString(value).CString(), false, shown) &&
        std::fabs(shown - number) > 1e-9) {
        const LString nearest = Nearest(converter, range, number);
        error.Format("\"%s\" is not a step of %ld (%s)%s%s", text, id, Label(id).CString(),
                     nearest.Length() ? "; the nearest are " : "", nearest.CString());
        return false;
    }
    return true;
}

CKdValueText::EEntry CKdValueText::ReadEntry(const LPrmConverter& converter,
                                             const LPrmManager::_SRangeInfo& range,
                                             const char* text, int& value) {
    double number = 0;
    if (!text || !IsNumber(text, false, number)) return EEntry::Refused;
    const int read = converter.StringToPrmValue(text);
    int stored = read;
    if (range.mChecker) {
        if (!range.mChecker(stored)) return EEntry::Refused;
    } else {
        stored = std::clamp(stored, range.mMin, range.mMax);
    }
    value = stored;
    // Beyond the ends as the field shows them: a converter may read such a text as a value in
    // range ("5501" for a field of fours ending at 5500).
    double low = 0, high = 0;
    const bool ends = IsNumber(converter.PrmValueToString(range.mMin).CString(), false, low) &&
                      IsNumber(converter.PrmValueToString(range.mMax).CString(), false, high);
    if (stored != read || (ends && (number < std::min(low, high) || number > std::max(low, high))))
        return EEntry::Limited;
    double shown = 0;
    if (IsNumber(converter.PrmValueToString(stored).CString(), false, shown) &&
        std::fabs(shown - number) > 1e-9)
        return EEntry::Rounded;
    return EEntry::Taken;
}

LString CKdValueText::RangeText(const LPrmConverter& converter,
                                const LPrmManager::_SRangeInfo& range, const char* unit,
                                const LPrmConverter* second) {
    const auto withUnit = [unit](const LString& text) { return unit ? text + " " + unit : text; };
    const LString low = converter.PrmValueToString(range.mMin);
    LString text = low + " to " + withUnit(converter.PrmValueToString(range.mMax));
    if (second)
        text = text + " (" + second->PrmValueToString(range.mMin) + " to " +
               second->PrmValueToString(range.mMax) + ")";
    // The step is the distance between the first two values, with as many decimals as they show.
    double first = 0, next = 0;
    if (range.mMin < range.mMax && IsNumber(low.CString(), false, first) &&
        IsNumber(converter.PrmValueToString(range.mMin + 1).CString(), false, next)) {
        const char* point = std::strchr(low.CString(), '.');
        const int decimals = point ? static_cast<int>(std::strlen(point + 1)) : 0;
        text = text + ", in steps of " +
               withUnit(LString().Format("%.*f", decimals, std::fabs(next - first)));
    }
    return text;
}
