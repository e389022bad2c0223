#pragma once

#include "KdPrmValueBox.h"

// Six consecutive parameters as a MAC address, "00:1a:2b:3c:4d:5e", read only.
class KdPrmMacAddress : public KdPrmValueBox {
    Q_OBJECT

public:
    static constexpr int kOctets = 6;

    using KdPrmValueBox::KdPrmValueBox;

    std::optional<bool> updateValue(LPrmObserverBridge* bridge) override;
    void valueUpdated(LPrmObserverBridge* bridge) override;

private:
    int mValues[kOctets] = {};
};
