#include "CKdRemoteExecutor.h"

#include "CKdPanelOperation.h"
#include "CKdPrmManager.h"
#include "CKdRemoteInterpreter.h"

#include <algorithm>

namespace {

using Op = CKdPanelOperation;

// Event kinds and action groups.
enum : uint32_t { kKeyDown = 1, kKeyUp = 2, kTouch = 3, kPress = 4, kRotate = 5 };
enum : uint32_t {
    kCall = 1,
    kMove,
    kSource,
    kSwitch,
    kTime,
    kSave,
    kAlternate,
    kRtime,
    kEncoder,
    kPinP,
    kSplit,
    kAlpha,
};

// ROI [2]'s parameters lie this far above ROI [1]'s.
constexpr int kRoi2Offset = 10;

// Move directions with the operation on ROI [1]; a speed's sign is multiplied by the step.
struct SMove {
    uint32_t mDirection;
    Op mOperation;
};
constexpr SMove kMoves[] = {
    {1, Op::Speed(188, -1)}, // "Left": pan
    {2, Op::Speed(188, +1)}, // "Right"
    {3, Op::Speed(189, -1)}, // "Up": tilt
    {4, Op::Speed(189, +1)}, // "Down"
    {5, Op::Speed(187, -1)}, // "Zoom In": zoom
    {6, Op::Speed(187, +1)}, // "Zoom Out"
    {7, Op::Zero(182, 4)},   // "Center": H and V position 0
    {8, Op::Full(180)},      // "Full": the whole picture, size 3840 at position 0, 0
    {9, Op::Zero(187, 3)},   // "Stop": zoom, pan and tilt speed 0
};

// Speed codes (event number & 0xF8) and their steps; any other code steps by 8.
struct SSpeed {
    uint32_t mCode;
    int mStep;
};
constexpr SSpeed kSpeeds[] = {
    {0x08, 1},  {0x10, 16}, {0x20, 8}, {0x30, 4}, {0x40, 15}, {0x50, 14}, {0x60, 13}, {0x70, 12},
    {0x80, 11}, {0x90, 10}, {0xA0, 9}, {0xB0, 7}, {0xC0, 6},  {0xD0, 5},  {0xE0, 3},  {0xF0, 2},
};
constexpr int kOtherSpeedStep = 8;

// Sources 1-6 select MAIN IN, SUB IN, STILL 1-4; 7 and 8 step without wrapping.
struct SSource {
    uint32_t mSource;
    Op mOperation;
};
constexpr SSource kSources[] = {
    {1, Op::Set(186, 0)},      {2, Op::Set(186, 1)}, {3, Op::Set(186, 2)},
    {4, Op::Set(186, 3)},      {5, Op::Set(186, 4)}, {6, Op::Set(186, 5)},
    {7, Op::Step(186, +1, 5)}, // "Next"
    {8, Op::Step(186, -1, 0)}, // "Prev"
};

// Switch words by the event number's low 12 bits.
struct SSwitch {
    uint32_t mItem;
    Op mOperation;
};
constexpr SSwitch kSwitches[] = {
    {0x100, Op::Execute(206)}, // "[1]"
    {0x200, Op::Execute(207)}, // "[2]"
    {0x300, Op::Execute(208)}, // "MODE"
    {0x400, Op::Set(210, 0)},  // "CUT"          M/E Type
    {0x500, Op::Set(210, 1)},  // "MIX"
    {0x600, Op::Set(210, 2)},  // "WIPE"
    {0x700, Op::Set(210, 3)},  // "PinP"
    {0x800, Op::Set(210, 4)},  // "SPLIT"
    {0x900, Op::Set(210, 5)},  // "ALPHA"
    {0xA00, Op::Set(210, 6)},  // "ROI"
    {0xB00, Op::Set(291, 0)},  // "Auto Off"     Auto Sw Type
    {0xC00, Op::Set(291, 1)},  // "Auto Input"
    {0xD00, Op::Set(291, 2)},  // "Auto Still"
    {0xE00, Op::Set(291, 3)},  // "Auto ROI"
    {0xF00, Op::Set(209, 1)},  // "FTB"          Auto Fade Button
    {0x001, Op::Set(218, 0)},  // "Cut Normal"   Cut Type
    {0x002, Op::Set(218, 1)},  // "Cut Backup"
    {0x003, Op::Set(290, 0)},  // "Mix Type"     Mix Type
    {0x004, Op::Set(290, 1)},  // "FAM Type"
    {0x005, Op::Set(290, 2)},  // "NAM Type"
    {0x006, Op::Set(220, 0)},  // "Wipe LtoR"    Wipe Type
    {0x007, Op::Set(220, 1)},  // "Wipe RtoL"
    {0x008, Op::Set(220, 2)},  // "Wipe TtoB"
    {0x009, Op::Set(220, 3)},  // "Wipe BtoT"
    {0x00A, Op::Set(239, 0)},  // "PinP Type"    PinP Type
    {0x00B, Op::Set(239, 1)},  // "PbyP Type"
    {0x00C, Op::Set(240, 0)},  // "Split L/R"    Split Type
    {0x00D, Op::Set(240, 1)},  // "Split T/B"
    {0x00E, Op::Set(242, 0)},  // "Split Norm"   Split Layout
    {0x00F, Op::Set(242, 1)},  // "Split Rev"
    {0x010, Op::Set(250, 0)},  // "Key Black"    Alpha Type
    {0x011, Op::Set(250, 1)},  // "Key White"
    {0x012, Op::Set(250, 2)},  // "Key Blue"
    {0x013, Op::Set(250, 3)},  // "Key Green"
    {0x014, Op::Set(313, 0)},  // "Mon M/E"      Sub Out Select
    {0x015, Op::Set(313, 1)},  // "Mon [1]"
    {0x016, Op::Set(313, 2)},  // "Mon [2]"
    {0x017, Op::Set(313, 3)},  // "Mon PFM"
};

// Time items: a number of seconds to set, or a step of one second (+1 "Inc", -1 "Dec").
struct STimeItem {
    uint32_t mItem;
    int mSeconds;
    int mStepSeconds;
};
constexpr STimeItem kTimeItems[] = {
    {1, 0, 0},  {2, 1, 0}, {3, 2, 0},  {4, 3, 0},  {5, 4, 0},  {6, 5, 0},   {7, 0, +1},
    {8, 0, -1}, {9, 6, 0}, {10, 7, 0}, {11, 8, 0}, {12, 9, 0}, {13, 10, 0},
};

// Time targets: ROI Auto Time in seconds, Auto Transition and Auto Fade Time in tenths.
struct STimeTarget {
    uint32_t mTarget;
    int mPrmID;
    int mUnitsPerSecond;
    int mMax;
};
constexpr STimeTarget kTimeTargets[] = {
    {1, 175, 1, 120},
    {2, 211, 10, 100},
    {3, 212, 10, 100},
};

template <class Row, size_t N>
const Row* FindRow(const Row (&table)[N], uint32_t key, uint32_t Row::*field) {
    for (const Row& row : table)
        if (row.*field == key) return &row;
    return nullptr;
}

// Move targets use bits 0-2: bit 3 is the lowest bit of the speed code ("1" is 0x08).
int MoveOffset(uint32_t event) {
    return (event & 0x7) == 2 ? kRoi2Offset : 0;
}

int MoveStep(uint32_t event) {
    const SSpeed* speed = FindRow(kSpeeds, event & 0xF8, &SSpeed::mCode);
    return speed ? speed->mStep : kOtherSpeedStep;
}

Op TimeOperation(uint32_t item, uint32_t target) {
    const STimeItem* time = FindRow(kTimeItems, item, &STimeItem::mItem);
    const STimeTarget* to = FindRow(kTimeTargets, target, &STimeTarget::mTarget);
    if (!time || !to) return {};
    const int step = time->mStepSeconds * to->mUnitsPerSecond;
    if (step > 0) return Op::Step(to->mPrmID, step, to->mMax);
    if (step < 0) return Op::Step(to->mPrmID, step, 0);
    return Op::Set(to->mPrmID, time->mSeconds * to->mUnitsPerSecond);
}

// The bulk settings write their fields' bytes in one packet, from the lowest identifier up.
void RunBulk(CKdPrmManager& session, const CKdRemoteInterpreter::_SBulkLayout& layout,
             uint32_t event, uint64_t data) {
    const std::span<const int16_t> ids = layout.mFieldPrmIDs;
    const int first = *std::min_element(ids.begin(), ids.end());
    uint8_t bytes[10] = {};
    const int count = std::min<int>(ids.size(), sizeof bytes);
    for (int k = 0; k < count; ++k)
        bytes[ids[k] - first] = k == 0   ? event & 0xFF
                                : k == 1 ? event >> 24 & 0xFF
                                         : data >> 8 * (k - 2) & 0xFF;
    Op::WriteAndRecord(session, first, bytes, count, count);
}

} // namespace

void CKdRemoteExecutor::ReceiveData(CKdPrmManager* session, int32_t eventNum, int64_t dataNum) {
    const auto event = static_cast<uint32_t>(eventNum);
    const uint32_t kind = event >> 16 & 0xF;
    const uint32_t group = event >> 12 & 0xF;
    // The save key is the companion's key state; it is followed with or without a switcher.
    if (group == kSave && (kind == kKeyDown || kind == kKeyUp))
        mRemoteSaveKeyHold = kind == kKeyDown;
    if (!session) return;
    switch (kind) {
    case kKeyDown:
        KeyDown(*session, event, static_cast<uint64_t>(dataNum));
        return;
    case kKeyUp:
        KeyUp(*session, event);
        return;
    case kTouch:
    case kPress:
    case kRotate:
        if (group == kEncoder) mEditor.Edit(*session, eventNum);
        return;
    default:
        return;
    }
}

void CKdRemoteExecutor::KeyDown(CKdPrmManager& session, uint32_t event, uint64_t data) {
    const uint32_t group = event >> 12 & 0xF;
    const uint32_t item = event >> 8 & 0xF;
    const uint32_t sub = event >> 4 & 0xF;
    const uint32_t low = event & 0xF;
    switch (group) {
    case kCall:
        if (item < 1 || item > 8 || sub < 1 || sub > 2) return;
        (mRemoteSaveKeyHold ? Op::Store(item, sub - 1) : Op::Recall(item, sub - 1)).Run(session);
        return;
    case kMove:
        if (const SMove* move = FindRow(kMoves, item, &SMove::mDirection)) {
            Op operation = move->mOperation.Shifted(MoveOffset(event));
            if (operation.mAction == Op::kSpeed) operation.mValue *= MoveStep(event);
            operation.Run(session);
        }
        return;
    case kSource:
        if (const SSource* source = FindRow(kSources, item, &SSource::mSource))
            source->mOperation.Shifted(low == 2 ? kRoi2Offset : 0).Run(session);
        return;
    case kSwitch:
        if (const SSwitch* sw = FindRow(kSwitches, event & 0xFFF, &SSwitch::mItem))
            sw->mOperation.Run(session);
        return;
    case kTime:
        TimeOperation(item, sub).Run(session);
        return;
    case kRtime: {
        const uint32_t autoTime = event >> 6 & 0x3F;
        const uint32_t dampTime = event & 0x3F;
        if (!autoTime || !dampTime) return;
        // ROI Auto Time, the three save parameters 0, ROI Damp Time.
        const uint8_t bytes[] = {uint8_t(autoTime - 1), 0, 0, 0, uint8_t(dampTime - 1)};
        Op::WriteAndRecord(session, 175, bytes, sizeof bytes, sizeof bytes);
        return;
    }
    default:
        if (const CKdRemoteInterpreter::_SBulkLayout* layout =
                CKdRemoteInterpreter::BulkLayout(group))
            RunBulk(session, *layout, event, data);
        return;
    }
}

void CKdRemoteExecutor::KeyUp(CKdPrmManager& session, uint32_t event) {
    // Only a movement key's release does something: it stops the axis the key started.
    if ((event >> 12 & 0xF) != kMove) return;
    const SMove* move = FindRow(kMoves, event >> 8 & 0xF, &SMove::mDirection);
    if (move && move->mOperation.mAction == Op::kSpeed)
        Op::Speed(move->mOperation.mPrmID, 0).Shifted(MoveOffset(event)).Run(session);
}
