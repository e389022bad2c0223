#include "CKdRemoteInterpreter.h"

#include <array>
#include <climits>
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

// The field's leading decimal number as the platform's text-to-number conversion reads it:
// blanks skipped, optional sign, digits up to the first non-digit, saturated; 0 without digits.
long long LeadingNumber(std::string_view field, long long min, long long max) {
    size_t k = 0;
    while (k < field.size() && (field[k] == ' ' || field[k] == '\t'))
        ++k;
    bool negative = false;
    if (k < field.size() && (field[k] == '+' || field[k] == '-')) negative = field[k++] == '-';
    long long value = 0;
    for (; k < field.size() && field[k] >= '0' && field[k] <= '9'; ++k) {
        const int digit = field[k] - '0';
        if (negative ? value < (min + digit) / 10 : value > (max - digit) / 10)
            return negative ? min : max;
        value = value * 10 + (negative ? -digit : digit);
    }
    return value;
}

uint32_t IntValue(std::string_view field) {
    return static_cast<uint32_t>(LeadingNumber(field, INT_MIN, INT_MAX));
}

uint64_t LongLongValue(std::string_view field) {
    return static_cast<uint64_t>(LeadingNumber(field, LLONG_MIN, LLONG_MAX));
}

// Each action's parser sets the item bits (everything but kind and group) and the data number.

bool ParseCall(Fields f, uint32_t& item, uint64_t& data) {
    uint32_t preset, target;
    if (!Lookup(kPresets, f[2], preset) || !Lookup(kTargets, f[3], target)) return false;
    item = preset * 0x100 + target * 0x10;
    return true;
}

bool ParseMove(Fields f, uint32_t& item, uint64_t& data) {
    uint32_t direction, speed, target;
    if (!Lookup(kDirections, f[2], direction) || !Lookup(kSpeeds, f[3], speed) ||
        !Lookup(kTargets, f[4], target))
        return false;
    item = direction * 0x100 + speed + target;
    return true;
}

bool ParseSource(Fields f, uint32_t& item, uint64_t& data) {
    uint32_t source, target;
    if (!Lookup(kSources, f[2], source) || !Lookup(kTargets, f[3], target)) return false;
    item = source * 0x100 + target;
    return true;
}

bool ParseSwitch(Fields f, uint32_t& item, uint64_t& data) {
    return Lookup(kSwitches, f[2], item);
}

bool ParseTime(Fields f, uint32_t& item, uint64_t& data) {
    uint32_t time, target = kTimeTargetOther;
    if (!Lookup(kTimes, f[2], time)) return false;
    Lookup(kTimeTargets, f[3], target);
    item = time * 0x100 + target;
    return true;
}

bool ParseSave(Fields f, uint32_t& item, uint64_t& data) {
    item = 0;
    return true;
}

bool ParseAlternate(Fields f, uint32_t& item, uint64_t& data) {
    uint32_t alternate, value;
    if (!Lookup(kAlternates, f[2], alternate) || !Lookup(kAlternateValues, f[3], value))
        return false;
    item = alternate * 0x100 + value;
    return true;
}

bool ParseRtime(Fields f, uint32_t& item, uint64_t& data) {
    uint32_t autoTime, dampTime;
    if (!Lookup(AutoTimes(), f[2], autoTime) || !Lookup(DampTimes(), f[3], dampTime)) return false;
    item = autoTime * 0x40 + dampTime;
    return true;
}

// a, p, c and n are added, not masked: values other than the companion's spill into the
// neighbouring bits, as the companion's own packing does.
bool ParseEncoder(Fields f, uint32_t& item, uint64_t& data) {
    item = IntValue(f[2]) * 0x200u + IntValue(f[3]) * 0x100000u + IntValue(f[4]) * 0x100u +
           (IntValue(f[5]) & 0xFFu);
    return true;
}

// Low bytes of fields 2 and 3 in bits 0-7 and 24-31; fields 4 on, one byte each, from the
// data number's lowest byte up.
bool ParseBulk(Fields f, uint32_t& item, uint64_t& data) {
    item = (IntValue(f[2]) & 0xFFu) | (IntValue(f[3]) & 0xFFu) << 24;
    data = 0;
    for (size_t k = 4; k < f.size(); ++k)
        data |= (LongLongValue(f[k]) & 0xFFu) << 8 * (k - 4);
    return true;
}

struct SAction {
    std::string_view mWord;
    uint32_t mGroup;
    size_t mFieldCount; // fields the action reads, the kind and action words included
    bool (*mParse)(Fields fields, uint32_t& item, uint64_t& data);
};

constexpr SAction kActions[] = {
    {"call", 1, 4, ParseCall},     {"move", 2, 5, ParseMove},    {"src", 3, 4, ParseSource},
    {"sw", 4, 3, ParseSwitch},     {"time", 5, 4, ParseTime},    {"save", 6, 2, ParseSave},
    {"alt", 7, 4, ParseAlternate}, {"rtime", 8, 4, ParseRtime},  {"enc", 9, 6, ParseEncoder},
    {"pinp", 10, 12, ParseBulk},   {"split", 11, 11, ParseBulk}, {"alpha", 12, 7, ParseBulk},
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

bool CKdRemoteInterpreter::Receive(const void* bytes, size_t count) {
    if (!bytes && count) return false;
    int32_t event;
    int64_t data;
    if (!Interpret({static_cast<const char*>(bytes), count}, event, data)) return false;
    eventNum = event;
    dataNum = data;
    if (mReceiver) mReceiver(eventNum, dataNum);
    return true;
}

bool CKdRemoteInterpreter::Interpret(std::string_view text, int32_t& eventNum, int64_t& dataNum) {
    if (!IsValidUtf8(text)) return false;
    std::array<std::string_view, kMaxFields> fields;
    size_t fieldCount = 0;
    for (size_t start = 0; fieldCount < kMaxFields;) {
        const size_t colon = text.find(':', start);
        fields[fieldCount++] = text.substr(start, colon - start);
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }

    uint32_t kind;
    if (fieldCount < 2 || !Lookup(kKinds, fields[0], kind)) return false;
    for (const SAction& action : kActions) {
        if (action.mWord != fields[1]) continue;
        if (fieldCount < action.mFieldCount) return false;
        uint32_t item = 0;
        uint64_t data = 0;
        if (!action.mParse(Fields(fields.data(), action.mFieldCount), item, data)) return false;
        eventNum = static_cast<int32_t>((kind << 16) + (action.mGroup << 12) + item);
        dataNum = static_cast<int64_t>(data);
        return true;
    }
    return false;
}
