#include "KdPrmStillMemory.h"

#include "CKdValueText.h"

std::optional<bool> KdPrmStillMemory::updateValue(LPrmObserverBridge* bridge) {
    return updateValueBuffers(mValues, kMemories);
}

void KdPrmStillMemory::valueUpdated(LPrmObserverBridge* bridge) {
    setText(QString::fromUtf8(CKdValueText::StillMemoryText(mValues).CString()));
}
