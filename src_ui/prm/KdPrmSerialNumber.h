#pragma once

#include "KdPrmValueBox.h"
#include "LString.h"

// The unit's ten-character serial number, read only.
class KdPrmSerialNumber : public KdPrmValueBox {
    Q_OBJECT

public:
    static constexpr int kLength = 10;

    using KdPrmValueBox::KdPrmValueBox;

    std::optional<bool> updateValue(LPrmObserverBridge* bridge) override;
    void valueUpdated(LPrmObserverBridge* bridge) override;

private:
    LString mString;
};
