#pragma once

#include "CKdPageCatalogue.h"
#include "CKdPrmManager.h"
#include "LString.h"

// Values as the pages show them, and texts typed as on a page turned back into stored values.
// Every row kind of the page catalogue is formatted here and nowhere else; the window's page
// widgets and kaldo-ctl both use it.
class CKdValueText {
public:
    using Row = CKdPageCatalogue::_SRow;

    // First identifiers of the unit's identity rows.
    static constexpr long kMacAddress = 970;
    static constexpr long kSerialNumber = 980;

    // The identifiers a row shows (a text's length, the six MAC octets...); 0 for an execute
    // button. Identifiers without a row count with their own width.
    static int RowSpan(CKdPrmManager& session, const Row& row);
    static int PrmSpan(CKdPrmManager& session, long id);

    // The row's value as its widget shows it, unit included: "Off", "3840 pix", "1.5 sec",
    // "100 (0.0 dB)", "02:4b:44:00:00:01", "*--*". A pop-up value outside its items shows as
    // "[n]".
    static LString RowText(CKdPrmManager& session, const Row& row);
    // The four still memories, one character each: "*" holds a picture, "-" is empty.
    static LString StillMemoryText(const int* flags);
    // The six octets of a MAC address in lower-case hexadecimal, "02:4b:44:00:00:01".
    static LString MacAddressText(const int* octets);
    // The value of id as the page whose row starts at id shows it; a plain number without one.
    static LString PrmText(CKdPrmManager& session, long id);
    // The label of a parameter, or "parameter N" for one that no page shows.
    static LString Label(long id);

    // Turns text into the stored value of id: one of the texts the row can show (an item of a
    // pop-up, "GMT +9:00") or, for numbers, through the row's converter ("1.5" -> 15); raw takes
    // a plain stored number. False with a one-line reason when id is unknown or read-only or
    // the value is not one that the parameter takes.
    static bool ParseValue(CKdPrmManager& session, long id, const char* text, bool raw, int& value,
                           LString& error);
    // What storing a number typed into a number field makes of it.
    enum class EEntry {
        Taken,   // stored as typed
        Limited, // outside the range: the nearer end is stored
        Rounded, // between two of the converter's steps: the step it reads as is stored
        Refused, // not a number, or refused by the parameter's checker: nothing is stored
    };
    // Reads text typed into a number field that shows a parameter of range through converter.
    // value is the stored value it comes to; untouched when refused.
    static EEntry ReadEntry(const LPrmConverter& converter, const LPrmManager::_SRangeInfo& range,
                            const char* text, int& value);
    // What a number field takes, in the texts it shows: "0.0 to 6.0 sec, in steps of 0.1 sec";
    // with a second converter beside it "0 to 127 (-INF to 12.0 dB), in steps of 1". Texts that
    // are not numbers ("GMT +9:00") give the range alone.
    static LString RangeText(const LPrmConverter& converter, const LPrmManager::_SRangeInfo& range,
                             const char* unit, const LPrmConverter* second = nullptr);

    // ParseValue for the parameter a row shows, with the row's texts.
    static bool ParseRowText(CKdPrmManager& session, const Row& row, const char* text, int& value,
                             LString& error) {
        return ParseValue(session, row.mPrmID, text, false, value, error);
    }
};
