#include "CtlEventCheck.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {

using Words = std::initializer_list<const char*>;

const Words kKinds = {"KeyDown", "KeyUp", "Touch", "Press", "Rotate"};
const Words kTargets = {"[1]", "[2]"};
const Words kRois = {"ROI1", "ROI2", "ROI3", "ROI4", "ROI5", "ROI6", "ROI7", "ROI8"};
const Words kDirections = {"Left",     "Right",  "Up",   "Down", "Zoom In",
                           "Zoom Out", "Center", "Full", "Stop"};
const Words kSpeeds = {"Fast", "Mid", "Slow", "16", "8", "4", "15", "14", "13", "12",
                       "11",   "10",  "9",    "7",  "6", "5", "3",  "2",  "1"};
const Words kSources = {"MAIN IN", "SUB IN",  "STILL 1", "STILL 2",
                        "STILL 3", "STILL 4", "Next",    "Prev"};
const Words kSwitches = {
    "[1]",        "[2]",        "MODE",       "CUT",       "MIX",        "WIPE",       "PinP",
    "SPLIT",      "ALPHA",      "ROI",        "Auto Off",  "Auto Input", "Auto Still", "Auto ROI",
    "FTB",        "Cut Normal", "Cut Backup", "Mix Type",  "FAM Type",   "NAM Type",   "Wipe LtoR",
    "Wipe RtoL",  "Wipe TtoB",  "Wipe BtoT",  "PinP Type", "PbyP Type",  "Split L/R",  "Split T/B",
    "Split Norm", "Split Rev",  "Key Black",  "Key White", "Key Blue",   "Key Green",  "Mon M/E",
    "Mon [1]",    "Mon [2]",    "Mon PFM"};
const Words kTimes = {"0sec",     "1sec", "2sec", "3sec", "4sec", "5sec", "Inc 1sec",
                      "Dec 1sec", "6sec", "7sec", "8sec", "9sec", "10sec"};
const Words kAlternates = {"FTB",        "ROI",      "Backup",    "Auto Input",
                           "Auto Still", "Auto ROI", "Panel Lock"};
const Words kBits = {"0", "1"};

bool OneOf(const std::string& field, Words words) {
    return std::any_of(words.begin(), words.end(), [&](const char* w) { return field == w; });
}

// "0sec" ... "58sec", "60sec".
bool IsAutoTime(const std::string& field) {
    for (int n = 0; n <= 60; ++n)
        if (n != 59 && field == std::to_string(n) + "sec") return true;
    return false;
}

// "0.0sec" ... "6.0sec" in tenths.
bool IsDampTime(const std::string& field) {
    for (int tenths = 0; tenths <= 60; ++tenths)
        if (field == std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "sec")
            return true;
    return false;
}

// Valid UTF-8, as the utility decodes the datagram before reading it.
bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = text[i];
        const int more = c < 0x80         ? 0
                         : (c >> 5) == 6  ? 1
                         : (c >> 4) == 14 ? 2
                         : (c >> 3) == 30 ? 3
                                          : -1;
        if (more < 0 || i + more > text.size() - 1) return false;
        for (int k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
        i += more + 1;
    }
    return true;
}

struct Field {
    const char* mWhat;
    Words mWords;
    bool (*mCheck)(const std::string&) = nullptr; // instead of words
};

} // namespace

bool CtlEventCheck::Check(const std::string& text, std::string& why, bool& replyExpected) {
    replyExpected = false;
    if (!IsUtf8(text)) {
        why = "the text is not UTF-8";
        return false;
    }
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
        const size_t colon = text.find(':', start);
        fields.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    const auto expect = [&](size_t index, const Field& field) {
        if (index >= fields.size()) {
            why = std::string("field ") + std::to_string(index + 1) + " (" + field.mWhat +
                  ") is missing";
            return false;
        }
        const bool ok =
            field.mCheck ? field.mCheck(fields[index]) : OneOf(fields[index], field.mWords);
        if (!ok) why = "\"" + fields[index] + "\" is not a " + field.mWhat + " the utility knows";
        return ok;
    };
    if (!expect(0, {"event kind", kKinds})) return false;
    if (fields.size() < 2) {
        why = "field 2 (action) is missing";
        return false;
    }
    const std::string& action = fields[1];
    // Numbers: the utility reads a leading number and ignores the rest, so any text passes.
    const auto numbers = [&](size_t count) {
        if (fields.size() >= 2 + count) return true;
        why = "\"" + action + "\" takes " + std::to_string(count) + " numbers";
        return false;
    };
    if (action == "call") return expect(2, {"preset", kRois}) && expect(3, {"target", kTargets});
    if (action == "move")
        return expect(2, {"direction", kDirections}) && expect(3, {"speed", kSpeeds}) &&
               expect(4, {"target", kTargets});
    if (action == "src") return expect(2, {"source", kSources}) && expect(3, {"target", kTargets});
    if (action == "sw") return expect(2, {"switch", kSwitches});
    // Any fourth word counts as the ROI target, but the field must be there.
    if (action == "time")
        return expect(2, {"time", kTimes}) &&
               expect(3, {"target", {}, [](const std::string&) { return true; }});
    if (action == "save") return true;
    if (action == "alt")
        return expect(2, {"alternate", kAlternates}) && expect(3, {"state", kBits});
    if (action == "rtime")
        return expect(2, {"auto time", {}, IsAutoTime}) && expect(3, {"damp time", {}, IsDampTime});
    if (action == "enc") {
        replyExpected = fields[0] == "Touch" || fields[0] == "Press" || fields[0] == "Rotate";
        return numbers(4);
    }
    if (action == "pinp") return numbers(10);
    if (action == "split") return numbers(9);
    if (action == "alpha") return numbers(5);
    why = "\"" + action + "\" is not an action the utility knows";
    return false;
}
