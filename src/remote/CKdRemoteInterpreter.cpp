#include "CKdRemoteInterpreter.h"

#include "CKdRemoteEditor.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace {

struct SWord {
    std::string_view mWord;
    int mCode;
};
using Fields = std::span<const std::string_view>;

// Each list in the order its words are compared.

constexpr SWord kKinds[] = {
    {"KeyDown", 1}, {"KeyUp", 2}, {"Touch", 3}, {"Press", 4}, {"Rotate", 5},
};

constexpr SWord kTargets[] = {{"[1]", 1}, {"[2]", 2}};

constexpr SWord kPresets[] = {
    {"ROI1", 1}, {"ROI2", 2}, {"ROI3", 3}, {"ROI4", 4},
    {"ROI5", 5}, {"ROI6", 6}, {"ROI7", 7}, {"ROI8", 8},
};

constexpr SWord kDirections[] = {
    {"Left", 1},     {"Right", 2},  {"Up", 3},   {"Down", 4}, {"Zoom In", 5},
    {"Zoom Out", 6}, {"Center", 7}, {"Full", 8}, {"Stop", 9},
};

// Speed codes, bits 3-7 of the event number.
constexpr SWord kSpeeds[] = {
    {"Fast", 0x10}, {"Mid", 0x20}, {"Slow", 0x30}, {"16", 0x10}, {"8", 0x20},
    {"4", 0x30},    {"15", 0x40},  {"14", 0x50},   {"13", 0x60}, {"12", 0x70},
    {"11", 0x80},   {"10", 0x90},  {"9", 0xA0},    {"7", 0xB0},  {"6", 0xC0},
    {"5", 0xD0},    {"3", 0xE0},   {"2", 0xF0},    {"1", 0x08},
};

constexpr SWord kSources[] = {
    {"MAIN IN", 1}, {"SUB IN", 2},  {"STILL 1", 3}, {"STILL 2", 4},
    {"STILL 3", 5}, {"STILL 4", 6}, {"Next", 7},    {"Prev", 8},
};

constexpr SWord kSwitches[] = {
    {"[1]", 0x100},        {"[2]", 0x200},       {"MODE", 0x300},      {"CUT", 0x400},
    {"MIX", 0x500},        {"WIPE", 0x600},      {"PinP", 0x700},      {"SPLIT", 0x800},
    {"ALPHA", 0x900},      {"ROI", 0xA00},       {"Auto Off", 0xB00},  {"Auto Input", 0xC00},
    {"Auto Still", 0xD00}, {"Auto ROI", 0xE00},  {"FTB", 0xF00},       {"Cut Normal", 0x001},
    {"Cut Backup", 0x002}, {"Mix Type", 0x003},  {"FAM Type", 0x004},  {"NAM Type", 0x005},
    {"Wipe LtoR", 0x006},  {"Wipe RtoL", 0x007}, {"Wipe TtoB", 0x008}, {"Wipe BtoT", 0x009},
    {"PinP Type", 0x00A},  {"PbyP Type", 0x00B}, {"Split L/R", 0x00C}, {"Split T/B", 0x00D},
    {"Split Norm", 0x00E}, {"Split Rev", 0x00F}, {"Key Black", 0x010}, {"Key White", 0x011},
    {"Key Blue", 0x012},   {"Key Green", 0x013}, {"Mon M/E", 0x014},   {"Mon [1]", 0x015},
    {"Mon [2]", 0x016},    {"Mon PFM", 0x017},
};

constexpr SWord kTimes[] = {
    {"0sec", 1},  {"1sec", 2},     {"2sec", 3},     {"3sec", 4}, {"4sec", 5},
    {"5sec", 6},  {"Inc 1sec", 7}, {"Dec 1sec", 8}, {"6sec", 9}, {"7sec", 10},
    {"8sec", 11}, {"9sec", 12},    {"10sec", 13},
};

// Any other word counts as "ROI".
constexpr SWord kTimeTargets[] = {{"ROI", 0x10}, {"Transition", 0x20}, {"Fade", 0x30}};
constexpr int kTimeTargetOther = 0x10;

constexpr SWord kAlternates[] = {
    {"FTB", 1},        {"ROI", 2},      {"Backup", 3},     {"Auto Input", 4},
    {"Auto Still", 5}, {"Auto ROI", 6}, {"Panel Lock", 7},
};

constexpr SWord kAlternateValues[] = {{"0", 0x10}, {"1", 0x20}};

// "0sec" … "58sec" and "60sec" give N + 1; "0.0sec" … "6.0sec" give tenths + 1.
struct SGeneratedWord {
    std::string mWord;
    int mCode;
};
using GeneratedWords = std::vector<SGeneratedWord>;

const GeneratedWords& AutoTimes() {
    static const GeneratedWords sWords = [] {
        GeneratedWords words;
        for (int seconds = 0; seconds <= 60; ++seconds)
            if (seconds != 59) words.push_back({std::to_string(seconds) + "sec", seconds + 1});
        return words;
    }();
    return sWords;
}

const GeneratedWords& DampTimes() {
    static const GeneratedWords sWords = [] {
        GeneratedWords words;
        for (int tenths = 0; tenths <= 60; ++tenths)
            words.push_back(
                {std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "sec",
                 tenths + 1});
        return words;
    }();
    return sWords;
}

template <class WordList>
bool Lookup(const WordList& words, std::string_view field, uint32_t& code) {
    for (const auto& word : words)
        if (word.mWord == field) {
            code = word.mCode;
            return true;
        }
    return false;
}

// A field as a message shows it: numbered, quoted, control characters escaped.
std::string FieldText(Fields f, size_t k) {
    std::string text = "field " + std::to_string(k) + " \"";
    for (const char c : f[k]) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            text += "\\n";
        } else if (c == '\r') {
            text += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text + "\"";
}

template <class WordList>
bool Word(const WordList& words, Fields f, size_t k, uint32_t& code, std::string& why) {
    if (Lookup(words, f[k], code)) return true;
    why = FieldText(f, k) + " is not a word of \"" + std::string(f[1]) +
          "\" (words are compared exactly, with case)";
    return false;
}

// A plain decimal integer (an optional minus sign and digits, nothing else) within min…max;
// meaning names the field in the message.
bool Integer(Fields f, size_t k, int min, int max, const char* meaning, int& value,
             std::string& why) {
    const std::string_view field = f[k];
    const size_t first = !field.empty() && field[0] == '-' ? 1 : 0;
    if (first == field.size() || field.find_first_not_of("0123456789", first) != field.npos) {
        why = FieldText(f, k) + " is not a whole number (digits and an optional minus sign)";
        return false;
    }
    // Digits beyond the range only need to stay beyond it.
    constexpr long long kBeyond = 1LL << 40;
    long long magnitude = 0;
    for (size_t i = first; i < field.size(); ++i)
        magnitude = std::min(magnitude * 10 + (field[i] - '0'), kBeyond);
    const long long number = first ? -magnitude : magnitude;
    if (number < min || number > max) {
        why = FieldText(f, k) + " is out of range for " + meaning + " (" + std::to_string(min) +
              " to " + std::to_string(max) + ")";
        return false;
    }
    value = static_cast<int>(number);
    return true;
}

// Each action's parser sets the item bits (everything but kind and group) and the data number,
// or why it refuses the text.

bool ParseCall(Fields f, uint32_t& item, uint64_t&, std::string& why) {
    uint32_t preset, target;
    if (!Word(kPresets, f, 2, preset, why) || !Word(kTargets, f, 3, target, why)) return false;
    item = preset * 0x100 + target * 0x10;
    return true;
}

bool ParseMove(Fields f, uint32_t& item, uint64_t&, std::string& why) {
    uint32_t direction, speed, target;
    if (!Word(kDirections, f, 2, direction, why) || !Word(kSpeeds, f, 3, speed, why) ||
        !Word(kTargets, f, 4, target, why))
        return false;
    item = direction * 0x100 + speed + target;
    return true;
}

bool ParseSource(Fields f, uint32_t& item, uint64_t&, std::string& why) {
    uint32_t source, target;
    if (!Word(kSources, f, 2, source, why) || !Word(kTargets, f, 3, target, why)) return false;
    item = source * 0x100 + target;
    return true;
}

bool ParseSwitch(Fields f, uint32_t& item, uint64_t&, std::string& why) {
    return Word(kSwitches, f, 2, item, why);
}

bool ParseTime(Fields f, uint32_t& item, uint64_t&, std::string& why) {
    uint32_t time, target = kTimeTargetOther;
    if (!Word(kTimes, f, 2, time, why)) return false;
    Lookup(kTimeTargets, f[3], target);
    item = time * 0x100 + target;
    return true;
}

bool ParseSave(Fields, uint32_t& item, uint64_t&, std::string&) {
    item = 0;
    return true;
}

bool ParseAlternate(Fields f, uint32_t& item, uint64_t&, std::string& why) {
    uint32_t alternate, value;
    if (!Word(kAlternates, f, 2, alternate, why) || !Word(kAlternateValues, f, 3, value, why))
        return false;
    item = alternate * 0x100 + value;
    return true;
}

bool ParseRtime(Fields f, uint32_t& item, uint64_t&, std::string& why) {
    uint32_t autoTime, dampTime;
    if (!Word(AutoTimes(), f, 2, autoTime, why) || !Word(DampTimes(), f, 3, dampTime, why))
        return false;
    item = autoTime * 0x40 + dampTime;
    return true;
}

// a and c are flags, p an identifier of 10 bits, n a signed step count of one byte: each field
// within its bits, so that none spills into a neighbour.
bool ParseEncoder(Fields f, uint32_t& item, uint64_t&, std::string& why) {
    int selecting, shown, coarse, count;
    if (!Integer(f, 2, 0, 1, "the selection flag", selecting, why) ||
        !Integer(f, 3, 0, 1023, "the parameter identifier", shown, why) ||
        !Integer(f, 4, 0, 1, "the coarse flag", coarse, why) ||
        !Integer(f, 5, -128, 127, "the step count", count, why))
        return false;
    item = selecting * 0x200u + shown * 0x100000u + coarse * 0x100u + (count & 0xFFu);
    return true;
}

// clang-format off
// Type, Size, H and V Position, H and V Trim, Border Width, Border Colour R, G, B.
constexpr int16_t kPinPFields[] = {239, 230, 231, 232, 233, 234, 235, 236, 237, 238};
// Type, Duty, Layout, [1] and [2] Center Adj, Border Width, Border Colour R, G, B.
constexpr int16_t kSplitFields[] = {240, 241, 242, 243, 244, 245, 246, 247, 248};
// Type, Level, Gain, Chroma Hue, Chroma Width.
constexpr int16_t kAlphaFields[] = {250, 251, 252, 253, 254};
// clang-format on
constexpr uint32_t kPinP = 10, kSplit = 11, kAlpha = 12;
const CKdRemoteInterpreter::_SBulkLayout kBulkLayouts[] = {
    {kPinP, kPinPFields},
    {kSplit, kSplitFields},
    {kAlpha, kAlphaFields},
};

// Each field within its parameter's range in the remote edit table.
template <uint32_t Group>
bool ParseBulk(Fields f, uint32_t& item, uint64_t& data, std::string& why) {
    const std::span<const int16_t> ids = CKdRemoteInterpreter::BulkLayout(Group)->mFieldPrmIDs;
    item = 0;
    data = 0;
    for (size_t k = 0; k < ids.size(); ++k) {
        const CKdRemoteEditor::_SRemoteEditPrm* row = CKdRemoteEditor::FindRemoteEditPrm(ids[k]);
        int value;
        if (!Integer(f, 2 + k, row->mMin, row->mMax, row->mName, value, why)) return false;
        const uint64_t byte = static_cast<uint8_t>(value);
        if (k == 0)
            item |= byte;
        else if (k == 1)
            item |= byte << 24;
        else
            data |= byte << 8 * (k - 2);
    }
    return true;
}

struct SAction {
    std::string_view mWord;
    uint32_t mGroup;
    size_t mFieldCount; // fields the action reads, the kind and action words included
    bool (*mParse)(Fields fields, uint32_t& item, uint64_t& data, std::string& why);
};

constexpr SAction kActions[] = {
    {"call", 1, 4, ParseCall},
    {"move", 2, 5, ParseMove},
    {"src", 3, 4, ParseSource},
    {"sw", 4, 3, ParseSwitch},
    {"time", 5, 4, ParseTime},
    {"save", 6, 2, ParseSave},
    {"alt", 7, 4, ParseAlternate},
    {"rtime", 8, 4, ParseRtime},
    {"enc", 9, 6, ParseEncoder},
    {"pinp", kPinP, 2 + std::size(kPinPFields), ParseBulk<kPinP>},
    {"split", kSplit, 2 + std::size(kSplitFields), ParseBulk<kSplit>},
    {"alpha", kAlpha, 2 + std::size(kAlphaFields), ParseBulk<kAlpha>},
};

constexpr size_t kMaxFields = 12;

bool IsValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char lead = *p++;
        if (lead < 0x80) continue;
        int more;
        uint32_t code;
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (end - p < more) return false;
        for (int k = 0; k < more; ++k, ++p) {
            if ((*p & 0xC0) != 0x80) return false;
            code = code << 6 | (*p & 0x3F);
        }
        // Overlong forms, surrogates and code points beyond U+10FFFF.
        if ((more == 2 && code < 0x800) || (more == 3 && code < 0x10000) ||
            (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return false;
    }
    return true;
}

} // namespace

const CKdRemoteInterpreter::_SBulkLayout* CKdRemoteInterpreter::BulkLayout(uint32_t group) {
    for (const _SBulkLayout& layout : kBulkLayouts)
        if (layout.mGroup == group) return &layout;
    return nullptr;
}

bool CKdRemoteInterpreter::Receive(const void* bytes, size_t count, std::string* why) {
    if (!bytes && count) return false;
    int32_t event;
    int64_t data;
    if (!Interpret({static_cast<const char*>(bytes), count}, event, data, why)) return false;
    eventNum = event;
    dataNum = data;
    if (mReceiver) mReceiver(eventNum, dataNum);
    return true;
}

bool CKdRemoteInterpreter::Interpret(std::string_view text, int32_t& eventNum, int64_t& dataNum,
                                     std::string* why) {
    std::string reason;
    const auto refuse = [&](std::string because) {
        if (why) *why = std::move(because);
        return false;
    };
    if (!IsValidUtf8(text)) return refuse("the text is not UTF-8");
    std::array<std::string_view, kMaxFields> fields;
    size_t fieldCount = 0;
    for (size_t start = 0; fieldCount < kMaxFields;) {
        const size_t colon = text.find(':', start);
        fields[fieldCount++] = text.substr(start, colon - start);
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }

    uint32_t kind;
    if (!Lookup(kKinds, fields[0], kind))
        return refuse(FieldText(fields, 0) +
                      " is not an event kind (KeyDown, KeyUp, Touch, Press or Rotate)");
    if (fieldCount < 2) return refuse("the action (field 1) is missing");
    for (const SAction& action : kActions) {
        if (action.mWord != fields[1]) continue;
        if (fieldCount < action.mFieldCount)
            return refuse("\"" + std::string(action.mWord) + "\" reads " +
                          std::to_string(action.mFieldCount) + " fields, the text has " +
                          std::to_string(fieldCount));
        uint32_t item = 0;
        uint64_t data = 0;
        if (!action.mParse(Fields(fields.data(), action.mFieldCount), item, data, reason))
            return refuse(reason);
        eventNum = static_cast<int32_t>((kind << 16) + (action.mGroup << 12) + item);
        dataNum = static_cast<int64_t>(data);
        return true;
    }
    return refuse(FieldText(fields, 1) + " is not an action");
}
