#include "CtlNames.h"

#include "CKdChangeSet.h"
#include "CKdPrmCatalogue.h"
#include "CKdPrmManager.h"
#include "CKdSecrets.h"
#include "CKdValueText.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <set>

namespace {

using W = CKdPageCatalogue::EWidget;
using Target = CtlNames::_STarget;

// Values that the pages show as separate rows and people write as one.
struct _SCompound {
    const char* mLabel;
    const char* mPage;
    long mFirst;
    int mCount;
};
constexpr _SCompound kCompounds[] = {
    {"IP Address", "USB Only/IP", 900, 4},
    {"Subnet Mask", "USB Only/IP", 910, 4},
    {"Default Gateway", "USB Only/IP", 920, 4},
};

// Texts whose values are credentials: shown masked, never echoed.
// Labels misspelt on the switcher's own menu keep their spelling (companion peers and scripts use
// it); the corrected spelling is taken too and stands for the label.
struct _SSpelling {
    const char* mCorrected;
    const char* mLabel;
};
constexpr _SSpelling kSpellings[] = {
    {"PinP Border Color", "PinP Border Volor"}, // Red, Green, Blue
    {"SNMP Main Out HPD Trap", "SNMP Main Our HPD Trap"},
};

// name with a corrected spelling in it replaced by the label's own.
std::string AsLabelled(const std::string& name) {
    for (const _SSpelling& spelling : kSpellings)
        if (const char* at = strcasestr(name.c_str(), spelling.mCorrected)) {
            const size_t start = at - name.c_str();
            return name.substr(0, start) + spelling.mLabel +
                   name.substr(start + strlen(spelling.mCorrected));
        }
    return name;
}

std::string PageName(const CKdPageCatalogue::_SPage& page) {
    return std::string(page.mGroup) + "/" + page.mLabel;
}

// Equal, or with prefix set: name begins label; without case.
bool Same(const std::string& name, const std::string& label, bool prefix = false) {
    return prefix ? strncasecmp(name.c_str(), label.c_str(), name.size()) == 0
                  : strcasecmp(name.c_str(), label.c_str()) == 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           strcasecmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

// A label, alone or with its page's path, or the path's end ("General/M/E Type"), in front.
bool Matches(const std::string& name, const std::string& label, const std::string& page,
             bool prefix) {
    if (Same(name, label, prefix)) return true;
    if (page.empty()) return false;
    if (prefix) return Same(name, page + "/" + label, true);
    if (!EndsWith(name, "/" + label)) return false;
    const std::string qualifier = name.substr(0, name.size() - label.size() - 1);
    return Same(qualifier, page) || EndsWith(page, "/" + qualifier);
}

const CKdPageCatalogue::_SPage* PageOfRow(const CKdPageCatalogue::_SRow* row) {
    for (const auto& page : CKdPageCatalogue::Pages())
        for (const auto& each : page.mRows)
            if (&each == row) return &page;
    return nullptr;
}

Target FromRow(CKdPrmManager& catalogue, const CKdPageCatalogue::_SRow& row) {
    Target target;
    target.mPrmID = row.mPrmID;
    target.mName = row.mLabel;
    target.mRow = &row;
    if (const auto* page = PageOfRow(&row)) target.mPage = PageName(*page);
    switch (row.mWidget) {
    case W::Exec:
        target.mKind = CtlNames::EKind::Exec;
        break;
    case W::Name:
        target.mKind = CtlNames::EKind::Text;
        target.mLength = row.mLength;
        break;
    case W::MacAddress:
    case W::SerialNumber:
    case W::StillMemory:
        target.mKind = CtlNames::EKind::Compound;
        target.mLength = CKdValueText::RowSpan(catalogue, row);
        target.mReadOnly = true;
        break;
    default:
        target.mReadOnly =
            catalogue.ValueRange(row.mPrmID).mChecker == LPrmManager::PrmCheckerREADONLY;
        break;
    }
    target.mSecret = CKdSecrets::IsSecret(row.mPrmID);
    return target;
}

Target FromCompound(const _SCompound& compound) {
    Target target;
    target.mKind = CtlNames::EKind::Compound;
    target.mPrmID = compound.mFirst;
    target.mLength = compound.mCount;
    target.mSeparator = '.';
    target.mName = compound.mLabel;
    target.mPage = compound.mPage;
    return target;
}

// A parameter or execute identifier that no page row starts at.
bool FromCatalogue(CKdPrmManager& catalogue, long id, Target& target) {
    LPrmManager::_SPrmInfo info;
    const bool exec = CKdPrmCatalogue::FindExecRow(id) != nullptr;
    if (!exec && !catalogue.PrmInfo(id, info)) return false;
    target = Target();
    target.mKind = exec ? CtlNames::EKind::Exec : CtlNames::EKind::Value;
    target.mPrmID = id;
    target.mName = CKdValueText::Label(id).CString();
    target.mReadOnly =
        !exec && catalogue.ValueRange(id).mChecker == LPrmManager::PrmCheckerREADONLY;
    target.mSecret = CKdSecrets::IsSecret(id);
    return true;
}

// Labels of the parameter catalogue that no page row shows.
std::vector<std::pair<std::string, long>> CatalogueOnlyLabels() {
    std::vector<std::pair<std::string, long>> labels;
    for (const auto& row : CKdPrmCatalogue::Rows())
        if (row.mLabel && !CKdPageCatalogue::RowForPrm(row.mPrmID))
            labels.emplace_back(row.mLabel, row.mPrmID);
    for (const auto& exec : CKdPrmCatalogue::ExecRows())
        if (!CKdPageCatalogue::RowForPrm(exec.mPrmID))
            labels.emplace_back(exec.mLabel, exec.mPrmID);
    return labels;
}

std::string Described(const Target& target) {
    std::string text = target.mPage.empty() ? target.mName : target.mPage + "/" + target.mName;
    return text + " (" + std::to_string(target.mPrmID) + ")";
}

} // namespace

bool CtlNames::Resolve(CKdPrmManager& catalogue, const std::string& name, _STarget& target,
                       std::string& error) {
    long id = 0;
    const char* end = name.data() + name.size();
    if (const auto parsed = std::from_chars(name.data(), end, id);
        parsed.ec == std::errc() && parsed.ptr == end && !name.empty()) {
        if (const auto* row = CKdPageCatalogue::RowForPrm(id)) {
            target = FromRow(catalogue, *row);
            return true;
        }
        if (FromCatalogue(catalogue, id, target)) return true;
        error = std::to_string(id) + " is not a parameter of the switcher";
        return false;
    }

    // Whole labels first; the beginning of one when no label is equal.
    const std::string label = AsLabelled(name);
    std::vector<Target> found;
    for (bool prefix : {false, true}) {
        std::set<std::pair<int, long>> seen;
        const auto add = [&](const Target& each) {
            if (Matches(label, each.mName, each.mPage, prefix) &&
                seen.insert({static_cast<int>(each.mKind), each.mPrmID}).second)
                found.push_back(each);
        };
        for (const auto& page : CKdPageCatalogue::Pages())
            for (const auto& row : page.mRows)
                add(FromRow(catalogue, row));
        for (const _SCompound& compound : kCompounds)
            add(FromCompound(compound));
        for (const auto& [label, id] : CatalogueOnlyLabels())
            if (FromCatalogue(catalogue, id, target)) add(target);
        if (!found.empty()) break;
    }
    if (found.size() == 1) {
        target = found.front();
        return true;
    }
    if (found.size() > 1) {
        error = "\"" + name + "\" is ambiguous; it may be";
        for (const Target& each : found)
            error += (&each == &found.front() ? " " : ", ") + Described(each);
        return false;
    }
    error = "no parameter \"" + name + "\"";
    std::vector<std::string> close;
    for (const std::string& each : AllNames())
        if (close.size() < 5 && strcasestr(each.c_str(), name.c_str())) close.push_back(each);
    for (const std::string& each : close)
        error += (&each == &close.front() ? "; did you mean \"" : "\", \"") + each;
    if (!close.empty()) error += "\"?";
    return false;
}

std::vector<std::string> CtlNames::AllNames() {
    std::vector<std::string> names;
    for (const auto& page : CKdPageCatalogue::Pages())
        for (const auto& row : page.mRows)
            names.push_back(row.mLabel);
    for (const _SCompound& compound : kCompounds)
        names.push_back(compound.mLabel);
    for (const auto& label : CatalogueOnlyLabels())
        names.push_back(label.first);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::vector<CtlNames::_STarget> CtlNames::PageTargets(CKdPrmManager& catalogue,
                                                      const CKdPageCatalogue::_SPage& page) {
    std::vector<_STarget> targets;
    for (const auto& row : page.mRows)
        targets.push_back(FromRow(catalogue, row));
    return targets;
}

int CtlNames::Span(CKdPrmManager& session, const _STarget& target) {
    switch (target.mKind) {
    case EKind::Exec:
        return 0;
    case EKind::Text:
    case EKind::Compound:
        return target.mLength;
    case EKind::Value:
        break;
    }
    return target.mRow ? CKdValueText::RowSpan(session, *target.mRow)
                       : CKdValueText::PrmSpan(session, target.mPrmID);
}

std::string CtlNames::Text(CKdPrmManager& session, const _STarget& target, bool showSecrets) {
    if (target.mSecret && !showSecrets) return CKdSecrets::kMask;
    switch (target.mKind) {
    case EKind::Exec:
        return "EXEC";
    case EKind::Text:
        return session.StringValue(target.mPrmID, target.mLength, 1, 0).CString();
    case EKind::Compound:
        if (target.mRow) return CKdValueText::RowText(session, *target.mRow).CString();
        break;
    case EKind::Value:
        return CKdValueText::PrmText(session, target.mPrmID).CString();
    }
    std::string text;
    for (int i = 0; i < target.mLength; ++i) {
        if (i) text += target.mSeparator;
        text += std::to_string(session.Value(target.mPrmID + i, 0));
    }
    return text;
}

nlohmann::ordered_json CtlNames::Raw(CKdPrmManager& session, const _STarget& target,
                                     bool showSecrets) {
    if (target.mKind == EKind::Exec || (target.mSecret && !showSecrets)) return nullptr;
    if (target.mKind == EKind::Value) return session.Value(target.mPrmID, 0);
    return Text(session, target, showSecrets);
}

bool CtlNames::Parse(CKdPrmManager& session, const _STarget& target, const std::string& text,
                     bool raw, CKdChangeSet& changes, std::string& error) {
    const std::string name = std::to_string(target.mPrmID) + " (" + target.mName + ")";
    if (target.mKind == EKind::Exec) {
        error = name + " is an execute command; run it with kaldo-ctl exec";
        return false;
    }
    if (target.mReadOnly) {
        error = name + " is read-only";
        return false;
    }
    LString why;
    int value = 0;
    switch (target.mKind) {
    case EKind::Value:
        if (!CKdValueText::ParseValue(session, target.mPrmID, text.c_str(), raw, value, why)) {
            error = why.CString();
            return false;
        }
        changes.AddValue(target.mPrmID, value);
        return true;
    case EKind::Text:
        if (text.size() > size_t(target.mLength)) {
            error = "the text has " + std::to_string(text.size()) + " characters; " + name +
                    " takes at most " + std::to_string(target.mLength);
            return false;
        }
        for (unsigned char c : text)
            if (c < 32 || c > 127) {
                error = "texts hold only the characters 32 to 127";
                return false;
            }
        changes.AddText(target.mPrmID, target.mLength, text.c_str());
        return true;
    case EKind::Compound: {
        std::vector<int> values;
        size_t start = 0;
        for (int i = 0; i < target.mLength; ++i) {
            const size_t end =
                i + 1 < target.mLength ? text.find(target.mSeparator, start) : text.size();
            if (end == std::string::npos ||
                !CKdValueText::ParseValue(session, target.mPrmID + i,
                                          text.substr(start, end - start).c_str(), true, value,
                                          why) ||
                (i + 1 == target.mLength &&
                 text.find(target.mSeparator, start) != std::string::npos)) {
                error = "\"" + text + "\" is not a value of " + name + "; it takes " +
                        std::to_string(target.mLength) + " numbers joined by '" +
                        target.mSeparator + "', as 192.168.0.10";
                return false;
            }
            values.push_back(value);
            start = end + 1;
        }
        for (int i = 0; i < target.mLength; ++i)
            changes.AddValue(target.mPrmID + i, values[i]);
        return true;
    }
    case EKind::Exec:
        break;
    }
    return false;
}
