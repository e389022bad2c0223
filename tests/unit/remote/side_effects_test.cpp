#include "CKdKeyboardOperation.h"
#include "CKdPrmSideEffects.h"
#include "CKdRemoteExecutor.h"
#include "CKdRemoteInterpreter.h"
#include "LNotificationCenter.h"
#include "RemoteSession.h"

#include <string>

namespace {

// Counts the side-effect notifications that name this session.
struct SideEffects : RemoteSession {
    SideEffects() {
        mToken = LNotificationCenter::Default().AddObserver(
            CKdPrmSideEffects::kNotification, [this](const LNotification& notification) {
                const auto* changed =
                    dynamic_cast<const CKdPrmSideEffects::_SChanged*>(notification.object.Get());
                if (notification.sender != &session || !changed) return;
                ++reported;
                first = changed->mFirst;
                last = changed->mLast;
            });
    }
    ~SideEffects() override { LNotificationCenter::Default().RemoveObserver(mToken); }

    // The notifications that one companion event gave.
    int Event(const std::string& text) {
        int32_t eventNum;
        int64_t dataNum;
        EXPECT_TRUE(CKdRemoteInterpreter::Interpret(text, eventNum, dataNum)) << text;
        reported = 0;
        executor.ReceiveData(&session, eventNum, dataNum);
        return reported;
    }

    int reported = 0;
    int first = 0, last = -1; // the identifiers changed, as the last notification tells
    CKdRemoteExecutor executor{[](const char*) {}};

private:
    int mToken = 0;
};

TEST_F(SideEffects, OperationsAfterWhichTheSwitcherChangesOtherSettingsAreReported) {
    // The text, and the identifiers the switcher changes in answer (none: 0, -1).
    struct Case {
        const char* text;
        int first, last;
    };
    const Case cases[] = {
        {"KeyDown:call:ROI3:[2]", 180, 196},      // recall: a layer takes the preset
        {"KeyDown:save", 0, -1},                  //
        {"KeyDown:call:ROI3:[1]", 320, 396},      // store: a preset takes the layer
        {"KeyUp:save", 0, -1},                    //
        {"KeyDown:move:Left:Fast:[1]", 180, 185}, // the position moves while the speed runs
        {"KeyUp:move:Left:Fast:[1]", 180, 185},   // and stops where it is
        {"KeyDown:move:Zoom In:1:[2]", 190, 195}, //
        {"KeyDown:move:Stop:1:[2]", 190, 195},    //
        {"KeyDown:move:Center:Fast:[1]", 0, -1},  // written and recorded, nothing else
        {"KeyDown:move:Full:Fast:[1]", 0, -1},    //
        {"KeyDown:sw:[1]", 200, 201},             // transition
        {"KeyDown:sw:MODE", 200, 201},            //
        {"KeyDown:sw:FTB", 202, 205},             // video and audio fade
        {"KeyDown:sw:MIX", 0, -1},                //
        {"KeyDown:src:STILL 1:[1]", 0, -1},       //
        {"KeyDown:time:5sec:Fade", 0, -1},        //
        {"KeyDown:rtime:10sec:0.5sec", 0, -1},    // writes 176-178 as 0: no store
        {"KeyDown:pinp:1:50:0:0:100:100:5:255:255:255", 0, -1},
        {"Rotate:enc:0:999:1:1", 0, 1000},  // the dial presses Factory Reset
        {"Rotate:enc:0:999:0:1", 0, -1},    // and only shows it
        {"Rotate:enc:0:132:1:1", 134, 138}, // Still Capture
        {"Rotate:enc:0:174:1:1", 180, 196}, // ROI Change Auto
        {"Rotate:enc:0:188:0:3", 180, 185}, // a pan speed
        {"Rotate:enc:1:1000:0:0", 0, -1},   // Parameter Save selected, not pressed
        {"Rotate:enc:0:175:0:1", 0, -1},    //
    };
    for (const Case& c : cases) {
        first = 0;
        last = -1;
        EXPECT_EQ(Event(c.text), c.last < 0 ? 0 : 1) << c.text;
        EXPECT_EQ(first, c.first) << c.text;
        EXPECT_EQ(last, c.last) << c.text;
    }
}

TEST(SideEffectPages, APageIsReadAgainOnlyWhenItReadsAChangedIdentifier) {
    // ROI > Setting reads both layers; the M/E page the transition and fade values.
    const CKdPrmManager::_SPrmReqInfo roi[] = {{180, 10}, {190, 10}, {0, 0}};
    const CKdPrmManager::_SPrmReqInfo me[] = {{200, 11}, {0, 0}};
    EXPECT_TRUE(CKdPrmSideEffects::Reads(roi, 180, 185));
    EXPECT_TRUE(CKdPrmSideEffects::Reads(roi, 195, 196));
    EXPECT_TRUE(CKdPrmSideEffects::Reads(roi, 0, 1000));
    EXPECT_FALSE(CKdPrmSideEffects::Reads(roi, 200, 201));
    EXPECT_FALSE(CKdPrmSideEffects::Reads(roi, 320, 396));
    EXPECT_TRUE(CKdPrmSideEffects::Reads(me, 202, 205));
    EXPECT_FALSE(CKdPrmSideEffects::Reads(me, 180, 196));
    EXPECT_FALSE(CKdPrmSideEffects::Reads(nullptr, 0, 1000));
}

TEST_F(SideEffects, KeyboardPresetRecallIsReported) {
    CKdKeyboardOperation keyboard([](const char*) {});
    keyboard.KeyDown(&session, CKdKeyboardOperation::kKey1, false);
    EXPECT_EQ(reported, 1);
    EXPECT_EQ(first, 180);
    keyboard.KeyDown(&session, CKdKeyboardOperation::kKeyS, false); // time: nothing else changes
    EXPECT_EQ(reported, 1);
}

} // namespace
