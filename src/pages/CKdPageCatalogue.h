#pragma once

#include "CKdPrmManager.h"

#include <span>

class LPrmConverter;

// The switcher's fixed menu tree and every settings page as data: each page's request table and
// its rows from top to bottom. The window layer builds its pages from it, the command-line client
// reads and prints the same rows.
class CKdPageCatalogue {
public:
    enum class EWidget {
        PopUp,        // list of the converter's texts within the parameter's range
        Spin,         // number (or converter text) with stepper
        Value,        // read-only text
        Name,         // text over a run of character parameters
        Exec,         // button that sends an execute identifier
        StillMemory,  // four flags, 135 to 138
        MacAddress,   // six octets, 970 to 975
        SerialNumber, // ten characters, 980 to 989
    };

    struct _SRow {
        const char* mLabel;
        EWidget mWidget;
        long mPrmID;
        const LPrmConverter* mConverter = nullptr;
        const char* mUnit = nullptr;
        // 1: an edit opens the reboot-needed note.
        int mInfoCode = 0;
        // Name: its length in characters. Exec: the wait in ms before the page is re-read.
        int mLength = 0;
        // Spin: a second box beside the number that shows the value through this converter.
        const LPrmConverter* mUnitConverter = nullptr;
        // Exec: confirmation text (null: none), the verb of its button that goes ahead, and
        // notification posted instead of sending.
        const char* mConfirmation = nullptr;
        const char* mConfirmVerb = nullptr;
        const char* mNotification = nullptr;
        // Spin: text field width (0: default) and whether the text can be typed.
        int mTextWidth = 0;
        bool mTextEditable = true;
        // Name: a secret (password, community name), shown masked.
        bool mSecret = false;
    };

    struct _SPage {
        const char* mGroup;     // menu group label
        const char* mLabel;     // leaf label
        const char* mClassName; // page class of the window layer
        const CKdPrmManager::_SPrmReqInfo* mRequests;
        int mValueWidth;
        std::span<const _SRow> mRows;
    };

    static constexpr const char* kRootLabel = "KALDO-1 MENU";

    // The 27 pages in menu order.
    static std::span<const _SPage> Pages();
    // The page whose class name, or "Group/Leaf" path, equals name (case-insensitive); null if
    // none.
    static const _SPage* FindPage(const char* name);
    // The first row showing id on any page, or null.
    static const _SRow* RowForPrm(long id);
};
