#include "KdPrmMacAddress.h"

#include "CKdValueText.h"

std::optional<bool> KdPrmMacAddress::updateValue(LPrmObserverBridge* bridge) {
    return updateValueBuffers(mValues, kOctets);
}

void KdPrmMacAddress::valueUpdated(LPrmObserverBridge* bridge) {
    setText(QString::fromUtf8(CKdValueText::MacAddressText(mValues).CString()));
}
