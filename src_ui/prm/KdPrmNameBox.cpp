#include "KdPrmNameBox.h"

#include "KdPrmView.h"

#include <cstring>

KdPrmNameBox::KdPrmNameBox(int x, int width, QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignCenter);
    setGeometry(x, 0, width, sizeHint().height());
    connect(this, &QLineEdit::textEdited, this,
            [this] { KdPrmView::informationRequest(mEditedInfo, this); });
    connect(this, &QLineEdit::editingFinished, this, &KdPrmNameBox::commitText);
}

void KdPrmNameBox::setPrmId(long id, LPrmManager* manager, int length) {
    mLength = length;
    mPrmObserver.Setup(manager, id, this);
}

std::optional<bool> KdPrmNameBox::updateValue(LPrmObserverBridge* bridge) {
    LString text = mPrmObserver.StringValue(mLength, 1);
    const bool changed = std::strcmp(text, mString) != 0;
    mString = text;
    return changed;
}

void KdPrmNameBox::valueUpdated(LPrmObserverBridge* bridge) {
    setText(QString::fromUtf8(mString.CString()));
}

void KdPrmNameBox::commitText() {
    if (isReadOnly()) return;
    const QByteArray typed = text().toUtf8();
    if (std::strcmp(mPrmObserver.StringValue(mLength, 1), typed.constData()) == 0) return;
    mPrmObserver.SetStringValue(typed.constData(), mLength, 1, 0);
    mPrmObserver.UpdateValue();
    valueUpdated(&mPrmObserver); // what the switcher holds now, also when it was refused
}
