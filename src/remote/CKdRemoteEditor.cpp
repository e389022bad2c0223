#include "CKdRemoteEditor.h"

#include "CKdPanelOperation.h"
#include "CKdPrmManager.h"
#include "LPrmConverters.h"
#include "LString.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

using Row = CKdRemoteEditor::_SRemoteEditPrm;

// Identifier, name, kind, min, max, converter, unit.
// clang-format off
const Row kRemoteEditPrmAddrLenTbl[] = {
    { 102, "Main In H Flip",         1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 103, "Main In V Flip",         1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 104, "Main In Still",          1,     0,     4, &gPrmConverterInStill,      nullptr},
    { 105, "Main In Format",        13,    -1,    53, &gPrmConverterInFormat,     nullptr},
    { 112, "Sub In H Flip",          1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 113, "Sub In V Flip",          1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 114, "Sub In Still",           1,     0,     4, &gPrmConverterInStill,      nullptr},
    { 115, "Sub In Format",         13,    -1,    53, &gPrmConverterInFormat,     nullptr},
    { 120, "No Signal Mode",         1,     0,     5, &gPrmConverterNoSigMode,    nullptr},
    { 121, "No Signal Color R",      1,     0,   255, nullptr,                    nullptr},
    { 122, "No Signal Color G",      1,     0,   255, nullptr,                    nullptr},
    { 123, "No Signal Color B",      1,     0,   255, nullptr,                    nullptr},
    { 130, "Still Source",           1,     0,     1, &gPrmConverterStillSource,  nullptr},
    { 131, "Still Target",           1,     0,     3, &gPrmConverterStillTarget,  nullptr},
    { 132, "Still Capture",         10,     0,     1, nullptr,                    nullptr},
    { 133, "Still Erase",           10,     0,     1, nullptr,                    nullptr},
    { 134, "Still Status",           9,     0,     2, &gPrmConverterStillStatus,  nullptr},
    { 135, "Still Memory 1",         9,     0,     1, &gPrmConverterStillMemory,  nullptr},
    { 136, "Still Memory 2",         9,     0,     1, &gPrmConverterStillMemory,  nullptr},
    { 137, "Still Memory 3",         9,     0,     1, &gPrmConverterStillMemory,  nullptr},
    { 138, "Still Memory 4",         9,     0,     1, &gPrmConverterStillMemory,  nullptr},
    { 140, "Main In Audio Follow",   1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 141, "Main In Audio Level",    1,     0,   127, &gPrmConverterAudioLevel,   nullptr},
    { 150, "Sub In Audio Follow",    1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 151, "Sub In Audio Level",     1,     0,   127, &gPrmConverterAudioLevel,   nullptr},
    { 160, "Output Audio Level",     1,     0,   127, &gPrmConverterAudioLevel,   nullptr},
    { 170, "ROI Enable",             1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 171, "ROI Preset Call Num",    1,     0,     7, &gPrmConverterRoiPreset,    nullptr},
    { 172, "ROI Change Target",      1,     0,     1, &gPrmConverterRoiTarget,    nullptr},
    { 173, "ROI Change Cut",        10,     0,     1, nullptr,                    nullptr},
    { 174, "ROI Change Auto",       10,     0,     1, nullptr,                    nullptr},
    { 175, "ROI Auto Time",          1,     0,   120, nullptr,                    "sec"},
    { 176, "ROI Save Setting",       1,     0,     1, &gPrmConverterRoiTarget,    nullptr},
    { 177, "ROI Save Number",        1,     0,     7, &gPrmConverterRoiPreset,    nullptr},
    { 178, "ROI Save Exec",         10,     0,     1, nullptr,                    nullptr},
    { 179, "ROI Damp Time",          1,     0,    60, &gPrmConverterFloat01,      "sec"},
    { 180, "[1] ROI Size",           3,   768,  3840, nullptr,                    "pix"},
    { 182, "[1] ROI H Position",     2, -1920,  1920, nullptr,                    "pix"},
    { 184, "[1] ROI V Position",     2, -1080,  1080, nullptr,                    "line"},
    { 186, "[1] ROI Source",         1,     0,     5, &gPrmConverterRoiSource,    nullptr},
    { 187, "[1] ROI Move Zoom",      0,   -16,    16, nullptr,                    "pix"},
    { 188, "[1] ROI Move Pan",       0,   -16,    16, nullptr,                    "pix"},
    { 189, "[1] ROI Move Tilt",      0,   -16,    16, nullptr,                    "line"},
    { 190, "[2] ROI Size",           3,   768,  3840, nullptr,                    "pix"},
    { 192, "[2] ROI H Position",     2, -1920,  1920, nullptr,                    "pix"},
    { 194, "[2] ROI V Position",     2, -1080,  1080, nullptr,                    "line"},
    { 196, "[2] ROI Source",         1,     0,     5, &gPrmConverterRoiSource,    nullptr},
    { 197, "[2] ROI Move Zoom",      0,   -16,    16, nullptr,                    "pix"},
    { 198, "[2] ROI Move Pan",       0,   -16,    16, nullptr,                    "pix"},
    { 199, "[2] ROI Move Tilt",      0,   -16,    16, nullptr,                    "line"},
    { 200, "Transition Value",       3,     0,  4095, nullptr,                    nullptr},
    { 202, "Video Fade Value",       3,     0,  4095, nullptr,                    nullptr},
    { 204, "Audio Fade Value",       3,     0,  4095, nullptr,                    nullptr},
    { 206, "[1] Button",            10,     0,     1, nullptr,                    nullptr},
    { 207, "[2] Button",            10,     0,     1, nullptr,                    nullptr},
    { 208, "MODE Button",           10,     0,     1, nullptr,                    nullptr},
    { 209, "Auto Fade Button",      10,     0,     1, nullptr,                    nullptr},
    { 210, "M/E Type",               1,     0,     6, &gPrmConverterMeType,       nullptr},
    { 211, "Auto Transition Time",   1,     0,   100, &gPrmConverterFloat01,      "sec"},
    { 212, "Auto Fade Time",         1,     0,   100, &gPrmConverterFloat01,      "sec"},
    { 213, "MODE Button Assign",     1,     0,     4, &gPrmConverterModeSw,       nullptr},
    { 214, "FADER Assign",           1,     0,     4, &gPrmConverterFaderAsgn,    nullptr},
    { 215, "FADER Direction",        1,     0,     1, &gPrmConverterFaderDir,     nullptr},
    { 218, "Cut Type",              11,    -1,     1, &gPrmConverterCutType,      nullptr},
    { 220, "Wipe Type",             11,    -1,     3, &gPrmConverterWipeType,     nullptr},
    { 221, "Wipe Edge",              1,     0,   100, nullptr,                    nullptr},
    { 222, "Wipe Border Width",      1,     0,   100, nullptr,                    "pix"},
    { 223, "Wipe Border Color R",    1,     0,   255, nullptr,                    nullptr},
    { 224, "Wipe Border Color G",    1,     0,   255, nullptr,                    nullptr},
    { 225, "Wipe Border Color B",    1,     0,   255, nullptr,                    nullptr},
    { 230, "PinP Size",              1,     0,   100, nullptr,                    "%"},
    { 231, "PinP H Position",        0,   -50,    50, nullptr,                    "%"},
    { 232, "PinP V Position",        0,   -50,    50, nullptr,                    "%"},
    { 233, "PinP H Trim",            1,     0,   100, nullptr,                    "%"},
    { 234, "PinP V Trim",            1,     0,   100, nullptr,                    "%"},
    { 235, "PinP Border Width",      1,     0,   100, nullptr,                    "pix"},
    { 236, "PinP Border Color R",    1,     0,   255, nullptr,                    nullptr},
    { 237, "PinP Border Color G",    1,     0,   255, nullptr,                    nullptr},
    { 238, "PinP Border Color B",    1,     0,   255, nullptr,                    nullptr},
    { 239, "PinP Type",             11,    -1,     1, &gPrmConverterPinPType,     nullptr},
    { 240, "Split Type",            11,    -1,     1, &gPrmConverterSplitType,    nullptr},
    { 241, "Split Duty",             1,     0,   100, nullptr,                    "%"},
    { 242, "Split Layout",           1,     0,     1, &gPrmConverterSplitLayout,  nullptr},
    { 243, "Split [1] Center Adj",   0,   -50,    50, nullptr,                    "%"},
    { 244, "Split [2] Center Adj",   0,   -50,    50, nullptr,                    "%"},
    { 245, "Split Border Width",     1,     0,   100, nullptr,                    "pix"},
    { 246, "Split Border Color R",   1,     0,   255, nullptr,                    nullptr},
    { 247, "Split Border Color G",   1,     0,   255, nullptr,                    nullptr},
    { 248, "Split Border Color B",   1,     0,   255, nullptr,                    nullptr},
    { 250, "Alpha Type",            11,    -1,     3, &gPrmConverterAlphaType,    nullptr},
    { 251, "Alpha Level",            1,     0,   100, nullptr,                    nullptr},
    { 252, "Alpha Gain",             1,     0,   100, nullptr,                    nullptr},
    { 253, "Alpha Chroma Hue",       0,   -90,    90, nullptr,                    "deg"},
    { 254, "Alpha Chroma Width",     1,     0,   180, nullptr,                    "deg"},
    { 270, "Fade Color R",           1,     0,   255, nullptr,                    nullptr},
    { 271, "Fade Color G",           1,     0,   255, nullptr,                    nullptr},
    { 272, "Fade Color B",           1,     0,   255, nullptr,                    nullptr},
    { 290, "Mix Type",               0,     0,     2, &gPrmConverterMixType,      nullptr},
    { 291, "Auto Sw Type",           1,     0,     3, &gPrmConverterAswType,      nullptr},
    { 292, "Auto Sw Int Time",       1,     0,    60, nullptr,                    "sec"},
    { 293, "Auto Sw ROI [1] A",      1,     0,     7, &gPrmConverterRoiPreset,    nullptr},
    { 294, "Auto Sw ROI [1] B",      1,     0,     7, &gPrmConverterRoiPreset,    nullptr},
    { 295, "Auto Sw ROI [2] A",      1,     0,     7, &gPrmConverterRoiPreset,    nullptr},
    { 296, "Auto Sw ROI [2] B",      1,     0,     7, &gPrmConverterRoiPreset,    nullptr},
    { 300, "Main Out Dwn Conv",      1,     0,     3, &gPrmConverterDownCnv,      nullptr},
    { 301, "Main Out Sampling",      1,     0,     5, &gPrmConverterSmplStruct,   nullptr},
    { 310, "Sub Out Dwn Conv",       1,     0,     3, &gPrmConverterDownCnv,      nullptr},
    { 311, "Sub Out Sampling",       1,     0,     5, &gPrmConverterSmplStruct,   nullptr},
    { 313, "Sub Out Select",         1,     0,     3, &gPrmConverterSubOutSel,    nullptr},
    { 320, "ROI1 Size",              3,   768,  3840, nullptr,                    "pix"},
    { 322, "ROI1 H Position",        2, -1920,  1920, nullptr,                    "pix"},
    { 324, "ROI1 V Position",        2, -1080,  1080, nullptr,                    "line"},
    { 326, "ROI1 Source",            1,     0,     5, &gPrmConverterRoiSource,    nullptr},
    { 330, "ROI2 Size",              3,   768,  3840, nullptr,                    "pix"},
    { 332, "ROI2 H Position",        2, -1920,  1920, nullptr,                    "pix"},
    { 334, "ROI2 V Position",        2, -1080,  1080, nullptr,                    "line"},
    { 336, "ROI2 Source",            1,     0,     5, &gPrmConverterRoiSource,    nullptr},
    { 340, "ROI3 Size",              3,   768,  3840, nullptr,                    "pix"},
    { 342, "ROI3 H Position",        2, -1920,  1920, nullptr,                    "pix"},
    { 344, "ROI3 V Position",        2, -1080,  1080, nullptr,                    "line"},
    { 346, "ROI3 Source",            1,     0,     5, &gPrmConverterRoiSource,    nullptr},
    { 350, "ROI4 Size",              3,   768,  3840, nullptr,                    "pix"},
    { 352, "ROI4 H Position",        2, -1920,  1920, nullptr,                    "pix"},
    { 354, "ROI4 V Position",        2, -1080,  1080, nullptr,                    "line"},
    { 356, "ROI4 Source",            1,     0,     5, &gPrmConverterRoiSource,    nullptr},
    { 360, "ROI5 Size",              3,   768,  3840, nullptr,                    "pix"},
    { 362, "ROI5 H Position",        2, -1920,  1920, nullptr,                    "pix"},
    { 364, "ROI5 V Position",        2, -1080,  1080, nullptr,                    "line"},
    { 366, "ROI5 Source",            1,     0,     5, &gPrmConverterRoiSource,    nullptr},
    { 370, "ROI6 Size",              3,   768,  3840, nullptr,                    "pix"},
    { 372, "ROI6 H Position",        2, -1920,  1920, nullptr,                    "pix"},
    { 374, "ROI6 V Position",        2, -1080,  1080, nullptr,                    "line"},
    { 376, "ROI6 Source",            1,     0,     5, &gPrmConverterRoiSource,    nullptr},
    { 380, "ROI7 Size",              3,   768,  3840, nullptr,                    "pix"},
    { 382, "ROI7 H Position",        2, -1920,  1920, nullptr,                    "pix"},
    { 384, "ROI7 V Position",        2, -1080,  1080, nullptr,                    "line"},
    { 386, "ROI7 Source",            1,     0,     5, &gPrmConverterRoiSource,    nullptr},
    { 390, "ROI8 Size",              3,   768,  3840, nullptr,                    "pix"},
    { 392, "ROI8 H Position",        2, -1920,  1920, nullptr,                    "pix"},
    { 394, "ROI8 V Position",        2, -1080,  1080, nullptr,                    "line"},
    { 396, "ROI8 Source",            1,     0,     5, &gPrmConverterRoiSource,    nullptr},
    { 401, "Sys Frame Rate",         1,     0,    13, &gPrmConverterFrameRate,    nullptr},
    { 403, "System HDCP Mode",      12,     0,     2, &gPrmConverterHdcpMode,     nullptr},
    { 410, "Sync Mode",              1,     0,     1, &gPrmConverterSyncMode,     nullptr},
    { 411, "Sync Reference",         1,     0,     2, &gPrmConverterSyncRef,      nullptr},
    { 412, "Sync H Phase",          14,     0,  1375, nullptr,                    "pix"},
    { 414, "Sync V Phase",           3,   100,  2350, nullptr,                    "H"},
    { 420, "Panel Lock",             1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 421, "HDMI TC Remote",         1,     0,     6, &gPrmConverterTcRemote,     nullptr},
    { 422, "UDP Link Mode",          1,     0,     2, &gPrmConverterUDPMode,      nullptr},
    { 423, "UDP Link Master",        1,     0,     1, &gPrmConverterUDPMaster,    nullptr},
    { 431, "HDMI Info Chg Det",      1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 432, "AVI Info Chg Det",       1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 433, "SPD Info Chg Det",       1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 434, "Audio Info Chg Det",     1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 435, "MPEG Info Chg Det",      1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 436, "VBI Info Chg Det",       1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 437, "DRM Info Chg Det",       1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 438, "Audio Stts Chg Det",     1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 439, "Audio Validity Det",     1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 440, "Audio Parity Err",       1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 441, "Audio Err Thresh",       0,   -96,     0, nullptr,                    "dBFS"},
    { 442, "ACR Lost Err",           1,     0,     1, &gPrmConverterOffOn,        nullptr},
    { 970, "MAC Adress",             6,     0,   255, nullptr,                    nullptr},
    { 980, "Serial Number",          7,     0,   255, nullptr,                    nullptr},
    { 990, "Soft Version",           8,     0,   255, nullptr,                    nullptr},
    { 999, "Factory Reset",         10,     0,     1, nullptr,                    nullptr},
    {1000, "Parameter Save",        10,     0,     1, nullptr,                    nullptr},
};
// clang-format on

// How a kind reads, changes, writes and shows its value.
enum EValue : uint8_t { kS8, kU8, kS16, kU16, kBytes };
enum EChange : uint8_t {
    kKeep,       // no change
    kAddSteps,   // v ± s, clamped to the row's range
    kTakeCoarse, // v := c
    kAddCount,   // v + n within 0 … kept − 1; the kept value stays
};
enum EText : uint8_t {
    kConverterText, // the converter's text, else decimal
    kOffText,       // "Off" for the row's minimum, else the converter's text
    kUnsupportText, // "Unsupport" for the row's minimum, else the converter's text
    kSixBytes,      // "%02X.%02X.%02X.%02X.%02X.%02X"
    kTenCharacters, // up to the first zero byte
    kVersionText,   // "Version %02X.%02X" of the low byte, then the high byte
    kPushText,      // "Push to execute"
    kTimesFour,     // decimal of 4·v
};
enum EPercent : uint8_t {
    kPosition,  // (v − min)·100 / (max − min), truncated toward zero
    kAlways100, // 100
    kOffIsZero, // 0 for the row's minimum, else 100
};
constexpr int kNoKeptValue = -1000;

struct SKind {
    int32_t mKind;
    int32_t mReadCount;
    EValue mValue;
    bool mAboveMaxIsMin;
    EChange mChange;
    int32_t mWriteCount; // bytes written after the event, low byte first; 0: never written
    int32_t mKeptValue;  // a value that is never written (and kAddCount never leaves)
    EText mText;
    EPercent mPercent;
};
// clang-format off
constexpr SKind kKinds[] = {
//   kind read value  >max  change       write kept          text             percent
    { 0,  1, kS8,    false, kAddSteps,   1,    kNoKeptValue, kConverterText,  kPosition},
    { 1,  1, kU8,    false, kAddSteps,   1,    kNoKeptValue, kConverterText,  kPosition},
    { 2,  2, kS16,   false, kAddSteps,   2,    kNoKeptValue, kConverterText,  kPosition},
    { 3,  2, kU16,   false, kAddSteps,   2,    kNoKeptValue, kConverterText,  kPosition},
    { 6,  6, kBytes, false, kKeep,       0,    kNoKeptValue, kSixBytes,       kAlways100},
    { 7, 10, kBytes, false, kKeep,       0,    kNoKeptValue, kTenCharacters,  kAlways100},
    { 8,  2, kU16,   false, kKeep,       0,    kNoKeptValue, kVersionText,    kAlways100},
    { 9,  1, kU8,    false, kKeep,       0,    kNoKeptValue, kConverterText,  kPosition},
    {10,  1, kU8,    false, kTakeCoarse, 1,    0,            kPushText,       kPosition},
    {11,  1, kS8,    true,  kAddSteps,   1,    kNoKeptValue, kOffText,        kPosition},
    {12,  1, kU8,    false, kAddCount,   1,    2,            kConverterText,  kPosition},
    {13,  1, kS8,    true,  kKeep,       0,    kNoKeptValue, kUnsupportText,  kOffIsZero},
    {14,  2, kU16,   false, kAddSteps,   2,    kNoKeptValue, kTimesFour,      kPosition},
};
// clang-format on

const SKind* FindKind(int kind) {
    for (const SKind& entry : kKinds)
        if (entry.mKind == kind) return &entry;
    return nullptr;
}

constexpr int kMaxReadCount = 10;

int ReadValue(CKdPrmManager& session, const Row& row, const SKind& kind,
              uint8_t (&bytes)[kMaxReadCount + 1]) {
    std::fill(std::begin(bytes), std::end(bytes), 0);
    const int stored = session.Value(row.mPrmID, 0);
    int value = 0;
    switch (kind.mValue) {
    case kS8:
        value = static_cast<int8_t>(stored);
        break;
    case kU8:
        value = static_cast<uint8_t>(stored);
        break;
    case kS16:
        value = static_cast<int16_t>(stored);
        break;
    case kU16:
        value = static_cast<uint16_t>(stored);
        break;
    case kBytes:
        for (int k = 0; k < kind.mReadCount; ++k)
            bytes[k] = static_cast<uint8_t>(session.Value(row.mPrmID + k, 0));
        break;
    }
    return kind.mAboveMaxIsMin && value > row.mMax ? row.mMin : value;
}

// The step of a dial turn: the square of the count, ten times that in coarse steps. Wide enough
// for any count, so that targets and values never wrap.
long long StepSize(int count, bool coarse) {
    return static_cast<long long>(count) * count * (coarse ? 10 : 1);
}

// The selection's target identifier, saturated to the int range.
int Target(int shown, long long steps) {
    return static_cast<int>(std::clamp<long long>(shown + steps, INT_MIN, INT_MAX));
}

int Changed(const Row& row, const SKind& kind, int value, int count, bool coarse) {
    const long long steps = StepSize(count, coarse);
    switch (kind.mChange) {
    case kKeep:
        return value;
    case kAddSteps:
        return static_cast<int>(
            std::clamp<long long>(count >= 0 ? value + steps : value - steps, row.mMin, row.mMax));
    case kTakeCoarse:
        return coarse;
    case kAddCount:
        return value == kind.mKeptValue ? value : std::clamp(value + count, 0, kind.mKeptValue - 1);
    }
    return value;
}

LString ValueText(const Row& row, const SKind& kind, int value, const uint8_t* bytes) {
    LString text;
    auto converted = [&] {
        return row.mConverter ? row.mConverter->PrmValueToString(value) : text.Format("%d", value);
    };
    switch (kind.mText) {
    case kConverterText:
        return converted();
    case kOffText:
        return value == row.mMin ? LString("Off") : converted();
    case kUnsupportText:
        return value == row.mMin ? LString("Unsupport") : converted();
    case kSixBytes:
        return text.Format("%02X.%02X.%02X.%02X.%02X.%02X", bytes[0], bytes[1], bytes[2], bytes[3],
                           bytes[4], bytes[5]);
    case kTenCharacters:
        return LString(reinterpret_cast<const char*>(bytes)); // bytes end with a zero byte
    case kVersionText:
        return text.Format("Version %02X.%02X", value & 0xFF, value >> 8 & 0xFF);
    case kPushText:
        return LString("Push to execute");
    case kTimesFour:
        return text.Format("%d", 4 * value);
    }
    return text;
}

int Percentage(const Row& row, const SKind& kind, int value) {
    switch (kind.mPercent) {
    case kAlways100:
        return 100;
    case kOffIsZero:
        return value == row.mMin ? 0 : 100;
    case kPosition:
        break;
    }
    return static_cast<int>((static_cast<long long>(value) - row.mMin) * 100 /
                            (row.mMax - row.mMin));
}

} // namespace

std::span<const Row> CKdRemoteEditor::RemoteEditPrmAddrLenTbl() {
    return kRemoteEditPrmAddrLenTbl;
}

Row CKdRemoteEditor::GetRemoteEditPrm(int target, int down) {
    const std::span<const Row> table = RemoteEditPrmAddrLenTbl();
    if (down) {
        const auto above = std::upper_bound(table.begin(), table.end(), target,
                                            [](int id, const Row& row) { return id < row.mPrmID; });
        return above == table.begin() ? table.front() : *(above - 1);
    }
    const auto atOrAbove = std::lower_bound(table.begin(), table.end(), target,
                                            [](const Row& row, int id) { return row.mPrmID < id; });
    return atOrAbove == table.end() ? table.back() : *atOrAbove;
}

const Row* CKdRemoteEditor::FindRemoteEditPrm(int id) {
    const std::span<const Row> table = RemoteEditPrmAddrLenTbl();
    const auto atOrAbove =
        std::lower_bound(table.begin(), table.end(), id,
                         [](const Row& row, int target) { return row.mPrmID < target; });
    return atOrAbove != table.end() && atOrAbove->mPrmID == id ? &*atOrAbove : nullptr;
}

void CKdRemoteEditor::Edit(CKdPrmManager& session, int32_t eventNum) const {
    const auto event = static_cast<uint32_t>(eventNum);
    const int shown = event >> 20 & 0x3FF;
    const bool selecting = event >> 9 & 1;
    const bool coarse = event >> 8 & 1;
    const int count = static_cast<int8_t>(event & 0xFF);
    const long long steps = StepSize(count, coarse);

    // Selection searches from the shown row; an edit acts on exactly the shown row, so that an
    // identifier without a row never edits (or presses) a neighbour.
    const Row* edited = selecting ? nullptr : FindRemoteEditPrm(shown);
    if (!selecting && !edited) return;
    const Row row = edited       ? *edited
                    : count >= 0 ? GetRemoteEditPrm(Target(shown, steps), 0)
                                 : GetRemoteEditPrm(Target(shown, -steps), 1);
    const SKind* kind = FindKind(row.mKind);
    if (!kind) return;

    if (!session.RequestParameter(row.mPrmID, kind->mReadCount, kReadBackWaitMs)) return;
    uint8_t bytes[kMaxReadCount + 1];
    int value = ReadValue(session, row, *kind, bytes);
    if (!selecting) value = Changed(row, *kind, value, count, coarse);

    // In selection mode the value just read is written back, so the switcher keeps its setting.
    if (kind->mWriteCount > 0 && value != kind->mKeptValue) {
        const uint8_t written[] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
        CKdPanelOperation::WriteAndRecord(session, row.mPrmID, written, kind->mWriteCount,
                                          kind->mWriteCount);
    }

    LString reply;
    reply.Format("%d:%s:", row.mPrmID, row.mName);
    reply += ValueText(row, *kind, value, bytes);
    if (row.mUnit) reply += row.mUnit;
    reply += ":";
    reply += LString().Format("%d", Percentage(row, *kind, value));
    if (mReply) mReply(reply);
}
