#pragma once

#include "LPrmObserverBridge.h"

#include <QLineEdit>

class LPrmConverter;
class LPrmManager;

// One parameter shown read-only through its converter, on a pale yellow (dark: deep brown)
// field that sets values apart from what can be edited.
class KdPrmValueBox : public QLineEdit, public LPrmObserverBridge::Delegate {
    Q_OBJECT

public:
    KdPrmValueBox(int x, int width, QWidget* parent = nullptr);

    void setPrmId(long id, LPrmManager* manager, const LPrmConverter* converter);
    LPrmObserverBridge& observer() { return mPrmObserver; }

    // The field's colour for the current palette (light or dark).
    void setupColorProperties();

    void valueUpdated(LPrmObserverBridge* bridge) override;

protected:
    // Reads count parameters from the bound one on into values; whether any changed. False
    // without a manager or for a count below 1.
    bool updateValueBuffers(int* values, int count);
    void changeEvent(QEvent* event) override;

    LPrmObserverBridge mPrmObserver;
    const LPrmConverter* mPrmConverter;
};
