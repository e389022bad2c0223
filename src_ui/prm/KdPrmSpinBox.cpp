#include "KdPrmSpinBox.h"

#include "KdPrmCellView.h"
#include "KdPrmSpinUnitBox.h"
#include "KdPrmStepper.h"
#include "KdPrmView.h"
#include "LPrmConverters.h"
#include "TextFieldInputFilter.h"

#include <QLineEdit>
#include <QWheelEvent>

KdPrmSpinBox::KdPrmSpinBox(const QRect& frame, QWidget* parent)
    : QWidget(parent), mPrmConverter(&gPrmConverterNop), mTextField(new QLineEdit(this)),
      mStepper(new KdPrmStepper(this)) {
    setGeometry(frame);
    connect(mStepper, &KdPrmStepper::stepped, this, &KdPrmSpinBox::actionStepper);
    mTextField->setValidator(
        TextFieldInputFilter::inputFilterWithChars("0123456789-.", kMaxTextLength, mTextField));
    mTextField->resize(mTextField->sizeHint());
    connect(mTextField, &QLineEdit::textEdited, this, &KdPrmSpinBox::editedInformation);
    connect(mTextField, &QLineEdit::editingFinished, this, &KdPrmSpinBox::commitText);
    setFocusProxy(mTextField);
    setTextWidth(kDefaultTextWidth);
}

void KdPrmSpinBox::setPrmId(long id, LPrmManager* manager, const LPrmConverter* converter) {
    mPrmConverter = converter ? converter : &gPrmConverterNop;
    mPrmObserver.Setup(manager, id, this);
}

void KdPrmSpinBox::setUnitBox(KdPrmSpinUnitBox* box) {
    delete mUnitBox.data();
    mUnitBox = box;
    if (!box) return;
    box->setParent(this);
    box->setPrmValue(mPrmObserver.LastValue());
    box->show();
    layoutSubItems();
}

void KdPrmSpinBox::setTextWidth(int width) {
    if (width == mTextWidth) return;
    mTextWidth = width;
    layoutSubItems();
}

int KdPrmSpinBox::unitWidth() const {
    return width() - mStepper->width() - mTextWidth;
}

void KdPrmSpinBox::layoutSubItems() {
    const int h = height();
    mTextField->setGeometry(0, (h - mTextField->height()) / 2, mTextWidth, mTextField->height());
    mStepper->move(mTextWidth, (h - mStepper->height()) / 2);
    if (mUnitBox) {
        // A small gap keeps the unit's text off the stepper.
        constexpr int kGap = 4;
        mUnitBox->setGeometry(mStepper->x() + mStepper->width() + kGap,
                              (h - mUnitBox->height()) / 2, unitWidth() - kGap, mUnitBox->height());
    }
}

void KdPrmSpinBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutSubItems();
}

void KdPrmSpinBox::editedInformation() {
    KdPrmView::informationRequest(mEditedInfo, mTextField);
}

void KdPrmSpinBox::valueUpdated(LPrmObserverBridge* bridge) {
    const int value = mPrmObserver.LastValue();
    mTextField->setText(QString::fromUtf8(mPrmConverter->PrmValueToString(value).CString()));
    if (mTextField->hasFocus()) mTextField->selectAll(); // the next keystroke replaces it
    if (mUnitBox) mUnitBox->setPrmValue(value);
}

void KdPrmSpinBox::actionStepper(int delta) {
    // Steps apply to the stored value, one unit each, whatever the converter shows. At a limit
    // the manager keeps the value: nothing is sent and no edit is reported.
    const int old = mPrmObserver.Value(0);
    mPrmObserver.SetValue(old + delta, 0);
    mPrmObserver.CheckValueUpdated();
    if (mPrmObserver.Value(0) != old) editedInformation();
}

void KdPrmSpinBox::commitText() {
    if (mTextField->isReadOnly()) return;
    const QByteArray text = mTextField->text().toUtf8();
    mPrmObserver.SetValue(mPrmConverter->StringToPrmValue(text.constData()), 0);
    mPrmObserver.UpdateValue();
    // Always show the stored value, so that a limited, refused or unreadable entry is replaced.
    valueUpdated(&mPrmObserver);
}

void KdPrmSpinBox::wheelEvent(QWheelEvent* event) {
    if (!mTextField->geometry().contains(event->position().toPoint())) {
        event->ignore(); // over the stepper or the unit: the page scrolls
        return;
    }
    KdPrmCellView::handleScrollWheel(event, &mPrmObserver);
    editedInformation();
    event->accept();
}
