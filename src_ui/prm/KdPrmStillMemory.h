#pragma once

#include "KdPrmValueBox.h"

// The four still memories as "*" (holds a picture) or "-" (empty), in memory order, read only.
class KdPrmStillMemory : public KdPrmValueBox {
    Q_OBJECT

public:
    static constexpr int kMemories = 4;

    using KdPrmValueBox::KdPrmValueBox;

    std::optional<bool> updateValue(LPrmObserverBridge* bridge) override;
    void valueUpdated(LPrmObserverBridge* bridge) override;

private:
    int mValues[kMemories] = {};
};
