#pragma once

#include "CKdPageCatalogue.h"
#include "LString.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

class CKdPrmManager;
class CKdChangeSet;

// What a name on the command line stands for: a page row, a parameter without one, a compound
// value over several identifiers (an IP address) or an execute identifier. Names are row labels
// as the pages show them ("M/E Type"), optionally qualified by the page ("Mix/Effect/General/M/E
// Type", "General/M/E Type"), compared without case; identifiers are accepted as numbers. Two
// labels misspelt on the switcher's menu are also taken corrected ("PinP Border Color Red").
class CtlNames {
public:
    enum class EKind {
        Value,    // one number
        Text,     // a run of characters
        Compound, // several one-byte numbers shown as one value (IP address, MAC, serial...)
        Exec,     // an execute identifier
    };

    struct _STarget {
        EKind mKind = EKind::Value;
        long mPrmID = 0;
        int mLength = 0;     // Text: characters; Compound: identifiers
        char mSeparator = 0; // Compound: '.' for dotted numbers, ':' for hex octets, 0 for text
        std::string mName;   // label
        std::string mPage;   // "Group/Leaf", empty when no page shows it
        const CKdPageCatalogue::_SRow* mRow = nullptr;
        bool mSecret = false;
        bool mReadOnly = false;
    };

    // The target of a name or identifier; false with a one-line reason (candidates of an
    // ambiguous label, close names of an unknown one).
    static bool Resolve(CKdPrmManager& catalogue, const std::string& name, _STarget& target,
                        std::string& error);
    // Every name that Resolve accepts without a page, for completion; execute names included.
    static std::vector<std::string> AllNames();
    // The targets a page shows, in order, compound rows for their octets.
    static std::vector<_STarget> PageTargets(CKdPrmManager& catalogue,
                                             const CKdPageCatalogue::_SPage& page);

    // Identifiers to read for the target.
    static int Span(CKdPrmManager& session, const _STarget& target);
    // The value as its page shows it; secrets masked unless showSecrets.
    static std::string Text(CKdPrmManager& session, const _STarget& target, bool showSecrets);
    // The stored value: a number, a string (texts, compounds), or null for a masked secret.
    static nlohmann::ordered_json Raw(CKdPrmManager& session, const _STarget& target,
                                      bool showSecrets);
    // Turns text into writes added to changes; raw takes stored numbers. False with a reason.
    static bool Parse(CKdPrmManager& session, const _STarget& target, const std::string& text,
                      bool raw, CKdChangeSet& changes, std::string& error);
};
