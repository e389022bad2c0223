#include "CKdValueText.h"

#include "CKdPrmCatalogue.h"
#include "LPrmConverters.h"

#include <strings.h>

#include <cerrno>
#include <cstdlib>

namespace {

using W = CKdPageCatalogue::EWidget;

constexpr int kStillMemories = 4;
constexpr int kMacOctets = 6;
constexpr int kSerialLength = 10;

const LPrmConverter& ConverterOf(const CKdPageCatalogue::_SRow* row) {
    return row && row->mConverter ? *row->mConverter : gPrmConverterNop;
}

// The row that shows id as its own value, or null.
const CKdPageCatalogue::_SRow* ValueRow(long id) {
    const CKdPageCatalogue::_SRow* row = CKdPageCatalogue::RowForPrm(id);
    return row && row->mWidget != W::Exec ? row : nullptr;
}

// The whole text as an integer (whole-number) or a decimal number; false for anything else.
bool IsWholeNumber(const char* text, bool integer, long& result) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    if (integer) {
        result = std::strtol(text, &end, 10);
    } else {
        std::strtod(text, &end);
        result = 0;
    }
    return errno == 0 && end && *end == 0 && end != text;
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
    case W::StillMemory:
        for (int i = 0; i < kStillMemories; ++i)
            text << (session.Value(id + i, 0) ? '*' : '-');
        return text;
    case W::MacAddress:
        for (int i = 0; i < kMacOctets; ++i)
            text += LString().Format(i ? ":%02x" : "%02x", session.Value(id + i, 0) & 0xFF);
        return text;
    case W::SerialNumber:
        return session.StringValue(id, kSerialLength, 1, 0);
    }
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

    // A text that the row shows for one of the values in range.
    if (!plain && !range.mChecker)
        for (int v = range.mMin; v <= range.mMax; ++v)
            if (strcasecmp(converter.PrmValueToString(v), text) == 0) {
                value = v;
                return true;
            }

    long number = 0;
    if (popUp || !IsWholeNumber(text, plain, number)) {
        error.Format(
            "\"%s\" is not a value of %ld (%s); it takes %s", text, id, Label(id).CString(),
            range.mChecker ? "a character code" : Accepted(converter, popUp, range).CString());
        return false;
    }
    value = plain ? static_cast<int>(number) : converter.StringToPrmValue(text);
    bool accepted = value == number || !plain;
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
    return true;
}
