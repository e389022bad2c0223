#pragma once

#include <cstdint>
#include <span>

// The switcher's parameters as constant data: identifier, type, range index, initial value and
// the label under which the pages show each one, plus the execute identifiers, which are sent as
// commands and not stored. An identifier is also the parameter's byte address on the switcher.
class CKdPrmCatalogue {
public:
    enum EType : uint8_t { kU8, kS8, kU16, kS16 };

    // A run of mCount parameters of one type from mPrmID, each of the type's width; all start at
    // mInitValue, except a run with initial bytes (a text, the MAC address), whose bytes start as
    // mInitText followed by zeros.
    struct _SPrmRow {
        int32_t mPrmID;
        int32_t mCount;
        EType mType;
        int32_t mRange;
        int32_t mInitValue;
        const char* mLabel; // null for parameters that no page shows
        const char* mInitText = nullptr;
    };

    struct _SExecRow {
        int32_t mPrmID;
        const char* mLabel;
    };

    static constexpr long kLastPrmID = 1000;

    static std::span<const _SPrmRow> Rows();
    static std::span<const _SExecRow> ExecRows();

    static int Width(EType type) { return type == kU16 || type == kS16 ? 2 : 1; }
    // The row of the parameter that starts at id; null for undefined identifiers, including the
    // second byte of a 16-bit parameter.
    static const _SPrmRow* FindRow(long id);
    // The initial value of the parameter at id within its row.
    static int InitValue(const _SPrmRow& row, long id);
    // The label of a parameter or an execute identifier; null when there is none.
    static const char* Label(long id);
    // The execute identifier's row; null for anything else.
    static const _SExecRow* FindExecRow(long id);
};
