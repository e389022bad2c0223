#include "KdPrmPopUpButton.h"

#include "KdPrmView.h"
#include "LPrmConverters.h"

#include <QWheelEvent>

KdPrmPopUpButton::KdPrmPopUpButton(int x, int width, QWidget* parent) : QComboBox(parent) {
    setGeometry(x, 0, width, sizeHint().height());
    connect(this, &QComboBox::activated, this, &KdPrmPopUpButton::itemSelected);
}

void KdPrmPopUpButton::setPrmId(long id, LPrmManager* manager, const LPrmConverter* converter) {
    mPrmObserver.SetDelegate(nullptr);
    clear();
    if (manager) {
        const LPrmConverter& shown = converter ? *converter : gPrmConverterNop;
        const LPrmManager::_SRangeInfo range = shown.PrmToViewRange(manager->ValueRange(id));
        for (int v = range.mMin; v <= range.mMax; ++v)
            addItem(QString::fromUtf8(shown.PrmValueToString(shown.ViewToPrmValue(v)).CString()));
    }
    mPrmObserver.Setup(manager, id, this);
}

void KdPrmPopUpButton::valueUpdated(LPrmObserverBridge* bridge) {
    const int value = mPrmObserver.LastValue();
    setCurrentIndex(value >= 0 && value < count() ? value : -1);
}

void KdPrmPopUpButton::itemSelected(int index) {
    mPrmObserver.SetValue(index, 0);
    // Show what the manager holds: a refused choice goes back to the stored item.
    mPrmObserver.UpdateValue();
    valueUpdated(&mPrmObserver);
    KdPrmView::informationRequest(mEditedInfo, this);
}

void KdPrmPopUpButton::wheelEvent(QWheelEvent* event) {
    event->ignore(); // on to the page, which scrolls
}
