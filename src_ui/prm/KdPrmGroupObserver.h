#pragma once

#include "LPrmManager.h"
#include "LPrmObserverBridge.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <vector>

// Consecutive parameters that one widget shows and writes together (an address, a colour, the
// clock). A write sets each parameter in order, as that many single edits would, so the
// switcher receives the same packets. The switcher answers a refused write by keeping its value,
// which the session reads back: a part that comes back to its value from before the write, while
// the answer can still come, is reported as refused.
class KdPrmGroupObserver : public LPrmObserverBridge::Delegate {
public:
    // changed: any value changed. refused: a message naming the part the switcher refused
    // after a write and the value it kept.
    KdPrmGroupObserver(std::function<void()> changed,
                       std::function<void(const QString& message)> refused);

    void setup(LPrmManager* manager, long firstId, int count);
    LPrmManager* manager() const;
    int count() const { return static_cast<int>(mBridges.size()); }
    long prmId(int part) const { return mFirstId + part; }
    int value(int part) const { return mBridges[part]->LastValue(); }
    LPrmManager::_SRangeInfo range(int part) const;
    // The first part whose value lies outside its range, or -1.
    int partOutOfRange(std::span<const int> values) const;

    // Writes values[k] to part k, in order; nothing without a manager.
    void write(std::span<const int> values);

    void valueUpdated(LPrmObserverBridge* bridge) override;

private:
    using Clock = std::chrono::steady_clock;

    std::function<void()> mChanged;
    std::function<void(const QString&)> mRefused;
    long mFirstId = 0;
    // Observers register by address: each keeps its place.
    std::vector<std::unique_ptr<LPrmObserverBridge>> mBridges;
    std::vector<int> mWritten;       // by part, the last values written
    std::vector<int> mBefore;        // by part, the values before that write
    Clock::time_point mVerdictUntil; // until when a refusal of that write can come back
};
