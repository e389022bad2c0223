#pragma once

#include <cstdint>

class CKdPrmManager;

// One operation of the virtual control panel on the session, as remote events and the keyboard
// cause them. "Write" sends one set packet without a wait; "record" stores the same bytes in the
// parameter model so that open pages show them at once. Every operation is one packet (execute
// or write), preceded by at most one read-back whose result is not examined.
struct CKdPanelOperation {
    enum EAction : uint8_t {
        kNothing,
        kSet,     // write and record mPrmID := mValue in the parameter's width
        kStep,    // read back mPrmID, then write and record it moved by mValue, stopping at mArg
        kSpeed,   // write the signed byte mValue to mPrmID; not recorded
        kExecute, // execute mPrmID with mValue; not recorded
        kRecall,  // recall preset mValue on ROI mArg (0 [1], 1 [2]) through mPrmID (171)
        kStore,   // store preset mValue of ROI mArg through mPrmID (176)
        kZero,    // write and record mValue zero bytes from mPrmID
        kFull,    // write and record size 3840, H and V position 0 from mPrmID (180 or 190)
    };

    // The session's wait restarts with every chunk that arrives, up to twice its length: a
    // read-back holds the event loop for 1000 ms at most, also on a line full of noise.
    static constexpr int kReadBackWaitMs = 500;

    EAction mAction = kNothing;
    int32_t mPrmID = 0;
    int32_t mValue = 0;
    int32_t mArg = 0;

    // Row makers for the operation tables.
    static constexpr CKdPanelOperation Set(int id, int value) { return {kSet, id, value}; }
    static constexpr CKdPanelOperation Step(int id, int step, int limit) {
        return {kStep, id, step, limit};
    }
    static constexpr CKdPanelOperation Speed(int id, int speed) { return {kSpeed, id, speed}; }
    static constexpr CKdPanelOperation Execute(int id) { return {kExecute, id, 1}; }
    static constexpr CKdPanelOperation Recall(int preset, int roi) {
        return {kRecall, 171, preset, roi};
    }
    static constexpr CKdPanelOperation Store(int preset, int roi) {
        return {kStore, 176, preset, roi};
    }
    static constexpr CKdPanelOperation Zero(int id, int count) { return {kZero, id, count}; }
    static constexpr CKdPanelOperation Full(int id) { return {kFull, id}; }

    // The same operation on the parameters offset identifiers further (ROI [2] lies 10 above).
    constexpr CKdPanelOperation Shifted(int offset) const {
        return {mAction, mPrmID + offset, mValue, mArg};
    }

    // Every write and execute below is reported to CKdPrmSideEffects, so that a page showing
    // settings the switcher changes in answer (a recalled preset's position) reads them again.
    void Run(CKdPrmManager& session) const;

    // Writes count bytes from id in one packet and records the first recordCount of them.
    static void WriteAndRecord(CKdPrmManager& session, long id, const uint8_t* bytes, int count,
                               int recordCount);

private:
    static void Write(CKdPrmManager& session, long id, const uint8_t* bytes, int count);
};
