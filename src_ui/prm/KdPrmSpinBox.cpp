#include "KdPrmSpinBox.h"

#include "CKdValueText.h"
#include "KdPrmCellView.h"
#include "KdPrmSpinFieldAccessible.h"
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
    connect(mTextField, &QLineEdit::inputRejected, this, &KdPrmSpinBox::keystrokeRefused);
    setFocusProxy(mTextField);
    KdPrmSpinFieldAccessible::install();
    setTextWidth(kDefaultTextWidth);
}

KdPrmSpinBox::~KdPrmSpinBox() {
    // The text field outlives this part of the spin box: its focus goes only in QWidget's
    // destructor, and the editing that this ends must not reach a spin box that is gone.
    mTextField->disconnect(this);
}

void KdPrmSpinBox::setPrmId(long id, LPrmManager* manager, const LPrmConverter* converter) {
    mPrmConverter = converter ? converter : &gPrmConverterNop;
    mPrmObserver.Setup(manager, id, this);
    updateRange();
}

void KdPrmSpinBox::setUnitBox(KdPrmSpinUnitBox* box) {
    delete mUnitBox.data();
    mUnitBox = box;
    if (!box) return;
    box->setParent(this);
    box->setPrmValue(mPrmObserver.LastValue());
    box->show();
    layoutSubItems();
    updateRange();
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

QString KdPrmSpinBox::rangeText() const {
    LPrmManager* manager = mPrmObserver.PrmManager();
    if (!manager) return {};
    const char* unit = mUnitBox ? mUnitBox->unit() : nullptr;
    const LPrmConverter* second = mUnitBox ? mUnitBox->converter() : nullptr;
    return QString::fromUtf8(CKdValueText::RangeText(*mPrmConverter,
                                                     manager->ValueRange(mPrmObserver.PrmID()),
                                                     unit, second)
                                 .CString());
}

LPrmManager::_SRangeInfo KdPrmSpinBox::range() const {
    LPrmManager* manager = mPrmObserver.PrmManager();
    return manager ? manager->ValueRange(mPrmObserver.PrmID()) : LPrmManager::_SRangeInfo();
}

double KdPrmSpinBox::shownNumber(int value) const {
    bool number = false;
    const double shown =
        QString::fromUtf8(mPrmConverter->PrmValueToString(value).CString()).toDouble(&number);
    return number ? shown : value;
}

void KdPrmSpinBox::updateRange() {
    mTextField->setAccessibleDescription(rangeText());
    emit rangeChanged();
}

void KdPrmSpinBox::commitText() {
    // Only a text the user has typed is stored: moving the focus through the field sends nothing.
    if (mTextField->isReadOnly() || !mTextField->isModified()) return;
    enterText(mTextField->text());
}

void KdPrmSpinBox::enterText(const QString& typed) {
    LPrmManager* manager = mPrmObserver.PrmManager();
    const LPrmManager::_SRangeInfo range = this->range();
    const int old = mPrmObserver.Value(0);
    int value = 0;
    using EEntry = CKdValueText::EEntry;
    const EEntry entry =
        CKdValueText::ReadEntry(*mPrmConverter, range, typed.toUtf8().constData(), value);
    if (entry != EEntry::Refused) mPrmObserver.SetValue(value, 0);
    mPrmObserver.UpdateValue();
    // Always show the stored value, so that a limited, refused or unreadable entry is replaced.
    valueUpdated(&mPrmObserver);
    if (entry == EEntry::Taken || !manager) return;

    const QString unit = mUnitBox && mUnitBox->unit() ? " " + mUnitBox->text() : QString();
    const QString stored = mTextField->text() + unit;
    QString what;
    if (entry == EEntry::Limited)
        what = tr("%1 is out of range: set to %2.").arg(typed, stored);
    else if (entry == EEntry::Rounded)
        what = tr("%1 is between steps: set to %2.").arg(typed, stored);
    else if (typed.isEmpty())
        what = tr("The field is empty: nothing changed.");
    else
        what = tr("\u201c%1\u201d is not a number: nothing changed.").arg(typed);
    emitEntryMessage(what, mPrmObserver.Value(0) != old);
}

void KdPrmSpinBox::emitEntryMessage(const QString& what, bool changed) {
    const QString range = rangeText();
    QString message = range.isEmpty() ? what : what + '\n' + tr("Takes %1.").arg(range);
    // The reboot note that this message replaces still holds for a value that was stored.
    if (changed && mEditedInfo == KdPrmView::kInfoNeedsReboot)
        message += '\n' + KdPrmView::tr(KdPrmView::kRebootNote);
    emit entryMessage(message);
}

void KdPrmSpinBox::keystrokeRefused() {
    const auto* filter = qobject_cast<const TextFieldInputFilter*>(mTextField->validator());
    const QChar refused = filter ? filter->lastRefusedCharacter() : QChar();
    const QString what =
        refused.isNull()
            ? tr("At most %1 characters.").arg(kMaxTextLength)
            : tr("\u201c%1\u201d can't be typed here: numbers take digits, \u201c-\u201d and "
                 "\u201c.\u201d.")
                  .arg(refused);
    emitEntryMessage(what, false);
}

void KdPrmSpinBox::wheelEvent(QWheelEvent* event) {
    // A field steps only while it has the keyboard focus: a wheel turn that passes over it on
    // the way down the page scrolls the page and changes nothing.
    if (!mTextField->hasFocus() || !mTextField->geometry().contains(event->position().toPoint())) {
        event->ignore();
        return;
    }
    KdPrmCellView::handleScrollWheel(event, &mPrmObserver);
    editedInformation();
    event->accept();
}
