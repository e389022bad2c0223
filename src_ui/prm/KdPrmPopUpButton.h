#pragma once

#include "LPrmObserverBridge.h"

#include <QComboBox>

class LPrmConverter;
class LPrmManager;

// An enumerated parameter as a list of texts: item i stands for value i. The items are the
// converter's texts of the values inside the parameter's range.
class KdPrmPopUpButton : public QComboBox, public LPrmObserverBridge::Delegate {
    Q_OBJECT

public:
    KdPrmPopUpButton(int x, int width, QWidget* parent = nullptr);

    // Fills the items from the range (none without a manager) and binds to id.
    void setPrmId(long id, LPrmManager* manager, const LPrmConverter* converter);

    int editedInfo() const { return mEditedInfo; }
    void setEditedInfo(int code) { mEditedInfo = code; }
    LPrmObserverBridge& observer() { return mPrmObserver; }

    void valueUpdated(LPrmObserverBridge* bridge) override;

protected:
    // The wheel never changes the selection: it scrolls the page.
    void wheelEvent(QWheelEvent* event) override;

private:
    void itemSelected(int index);

    LPrmObserverBridge mPrmObserver;
    int mEditedInfo = 0;
};
