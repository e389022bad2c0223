#include "KdPrmCellView.h"

#include "KdPrmExecButton.h"
#include "KdPrmLabel.h"
#include "KdPrmNameBox.h"
#include "KdPrmPopUpButton.h"
#include "KdPrmSpinBox.h"
#include "KdPrmStepper.h"
#include "KdPrmValueBox.h"
#include "LPrmObserver.h"

#include <QWheelEvent>

KdPrmCellView::KdPrmCellView(int y, const QString& title, QWidget* page)
    : QWidget(page), mLabel(new KdPrmLabel(QPoint(0, 0), title, this)) {
    setGeometry(kX, y, page->width() - kX, kHeight);
    mLabel->move(mLabel->x(), (kHeight - mLabel->height()) / 2);
    updateToolTip();
}

QString KdPrmCellView::title() const {
    return mLabel->text();
}

QString KdPrmCellView::toolTipText() const {
    QString tip = tr("kaldo-ctl name: \"%1\"").arg(title());
    const QString range = mSpinBox ? mSpinBox->rangeText() : QString();
    return range.isEmpty() ? tip : tip + "\n" + range;
}

void KdPrmCellView::updateToolTip() {
    const QString tip = toolTipText();
    mLabel->setToolTip(tip);
    if (QWidget* value = valueWidget()) value->setToolTip(tip);
}

template <class Widget>
void KdPrmCellView::install(QPointer<Widget>& slot, Widget* widget) {
    delete slot.data();
    slot = widget;
    if (!widget) return;
    widget->setParent(this);
    widget->setAccessibleName(title());
    // The title labels the widget for assistive technology (AT-SPI "labelled-by"); Qt names a
    // pop-up by its current item, so the relation is what names it.
    mLabel->setBuddy(widget);
    widget->show();
    updateToolTip();
}

void KdPrmCellView::setPopup(KdPrmPopUpButton* popup) {
    install(mPopup, popup);
}

void KdPrmCellView::setValueBox(KdPrmValueBox* box) {
    install(mValueBox, box);
}

void KdPrmCellView::setSpinBox(KdPrmSpinBox* box) {
    install(mSpinBox, box);
    if (!box) return;
    box->textField()->setAccessibleName(title());
    box->stepper()->setFieldName(title());
    connect(box, &KdPrmSpinBox::rangeChanged, this, &KdPrmCellView::updateToolTip);
}

void KdPrmCellView::setNameBox(KdPrmNameBox* box) {
    install(mNameBox, box);
}

void KdPrmCellView::setGroupControl(QWidget* control) {
    install(mGroupControl, control);
}

void KdPrmCellView::setExecButton(KdPrmExecButton* button) {
    install(mExecButton, button);
}

QWidget* KdPrmCellView::valueWidget() const {
    for (QWidget* widget : std::initializer_list<QWidget*>{mPopup, mValueBox, mSpinBox, mNameBox,
                                                           mExecButton, mGroupControl})
        if (widget) return widget;
    return nullptr;
}

int KdPrmCellView::scrollStep(double delta) {
    if (delta == 0) return 0;
    const int step = static_cast<int>(delta); // toward zero
    if (step != 0) return step;
    return delta > 0 ? 1 : -1;
}

bool KdPrmCellView::handleScrollWheel(QWheelEvent* event, LPrmObserver* observer) {
    // One notch of a wheel is 120 eighths of a degree. inverted() means the system reverses
    // the direction (natural scrolling): undo it, so the step follows the physical movement.
    double delta = event->angleDelta().y() / 120.0;
    if (event->inverted()) delta = -delta;
    if (const int step = scrollStep(delta)) {
        observer->SetValue(observer->Value(0) + step, 0);
        observer->CheckValueUpdated();
    }
    return true;
}
