#include "KdPrmView.h"

#include "KdInfoPopup.h"
#include "KdPrmCellView.h"
#include "KdPrmExecButton.h"
#include "KdPrmGroupRows.h"
#include "KdPrmMacAddress.h"
#include "KdPrmNameBox.h"
#include "KdPrmPopUpButton.h"
#include "KdPrmReading.h"
#include "KdPrmSerialNumber.h"
#include "KdPrmSpinBox.h"
#include "KdPrmSpinUnitBox.h"
#include "KdPrmStillMemory.h"
#include "LNotificationCenter.h"
#include "TextFieldInputFilter.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>

#include <algorithm>

KdPrmView::KdPrmView(const CKdPageCatalogue::_SPage* page, QWidget* parent)
    : QWidget(parent), mPage(page) {
    setGeometry(0, 0, kWidth, kMinimumHeight);
    setMinimumSize(kWidth, kMinimumHeight);
    mNotificationToken = LNotificationCenter::Default().AddObserver(
        kInfoReqNeedsReboot,
        [this](const LNotification& notification) { infoReqNeedsReboot(notification.sender); });
}

KdPrmView::~KdPrmView() {
    LNotificationCenter::Default().RemoveObserver(mNotificationToken);
    closeInformationWindow();
}

void KdPrmView::setPrmManager(CKdPrmManager* session) {
    mPrmManager = session;
    requestParameters(); // the first request is on its way while the rows are made
    createPrmItems();
    if (mCreatingY > height()) {
        setMinimumHeight(mCreatingY);
        resize(width(), mCreatingY);
    }
    layoutRows();
}

const CKdPrmManager::_SPrmReqInfo* KdPrmView::requestPrmTable() const {
    return mPage ? mPage->mRequests : nullptr;
}

void KdPrmView::createPrmItems() {
    if (!mPage) return;
    setValueWidth(mPage->mValueWidth);
    // Value groups (addresses, colours, the clock) are shown as such.
    for (std::span<const CKdPageCatalogue::_SRow> rows = mPage->mRows; !rows.empty();)
        rows = rows.subspan(KdPrmGroupRows::CreateRowsAt(this, rows));
}

void KdPrmView::requestParameters() {
    delete mReading;
    if (mPrmManager && requestPrmTable())
        mReading = new KdPrmReading(mPrmManager, requestPrmTable(), this);
}

bool KdPrmView::isReading() const {
    return mReading && mReading->isReading();
}

KdPrmCellView* KdPrmView::createPrmCellView(const QString& title) {
    auto* cell = new KdPrmCellView(mCreatingY, title, this);
    mCreatingY += kRowPitch;
    cell->show();
    return cell;
}

template <class Widget>
Widget* KdPrmView::placeValueWidget(KdPrmCellView* cell, Widget* widget) {
    widget->move(widget->x(), (cell->height() - widget->height()) / 2);
    return widget;
}

KdPrmCellView* KdPrmView::createPopUpButton(const QString& title, long id,
                                            const LPrmConverter* converter) {
    KdPrmCellView* cell = createPrmCellView(title);
    auto* popup = new KdPrmPopUpButton(valuePosition(), mValueWidth);
    popup->setEditedInfo(mCellInformation);
    cell->setPopup(popup);
    popup->setPrmId(id, mPrmManager, converter);
    placeValueWidget(cell, popup);
    return cell;
}

KdPrmCellView* KdPrmView::createValueBox(const QString& title, long id,
                                         const LPrmConverter* converter) {
    KdPrmCellView* cell = createPrmCellView(title);
    auto* box = new KdPrmValueBox(valuePosition(), mValueWidth);
    cell->setValueBox(box);
    box->setPrmId(id, mPrmManager, converter);
    placeValueWidget(cell, box);
    return cell;
}

KdPrmCellView* KdPrmView::createSpinBox(const QString& title, long id,
                                        const LPrmConverter* converter, const char* unit) {
    KdPrmCellView* cell = createPrmCellView(title);
    auto* box = new KdPrmSpinBox(QRect(valuePosition(), 0, mValueWidth, KdPrmCellView::kHeight));
    box->setEditedInfo(mCellInformation);
    cell->setSpinBox(box);
    box->setPrmId(id, mPrmManager, converter);
    connect(box, &KdPrmSpinBox::entryMessage, this,
            [this, box](const QString& text) { showMessage(box->textField(), text); });
    placeValueWidget(cell, box);
    if (unit) box->setUnitBox(KdPrmSpinUnitBox::unitBoxWithUnit(unit));
    return cell;
}

KdPrmCellView* KdPrmView::createNameBox(const QString& title, long id, int length) {
    KdPrmCellView* cell = createPrmCellView(title);
    auto* box = new KdPrmNameBox(valuePosition(), mValueWidth);
    box->setEditedInfo(mCellInformation);
    cell->setNameBox(box);
    box->setPrmId(id, mPrmManager, length);
    placeValueWidget(cell, box);
    // The characters the switcher stores as they are: printable ASCII.
    box->setValidator(TextFieldInputFilter::inputFilterWithCharFrom(32, 126, length, box));
    connect(box, &KdPrmNameBox::entryMessage, this,
            [this, box](const QString& text) { showMessage(box, text); });
    return cell;
}

KdPrmCellView* KdPrmView::createExecButton(const QString& title, long id, int waitMs) {
    KdPrmCellView* cell = createPrmCellView(title);
    auto* button = new KdPrmExecButton(valuePosition());
    cell->setExecButton(button);
    button->setPrmId(id, mPrmManager);
    placeValueWidget(cell, button);
    button->setRequestPrmTable(requestPrmTable());
    button->setActionWait(waitMs);
    return cell;
}

KdPrmCellView* KdPrmView::createRow(const CKdPageCatalogue::_SRow& row) {
    using W = CKdPageCatalogue::EWidget;
    setCellInformation(row.mInfoCode);
    const QString title = QString::fromUtf8(row.mLabel);
    switch (row.mWidget) {
    case W::PopUp:
        return createPopUpButton(title, row.mPrmID, row.mConverter);
    case W::Value:
        return createValueBox(title, row.mPrmID, row.mConverter);
    case W::Name: {
        KdPrmCellView* cell = createNameBox(title, row.mPrmID, row.mLength);
        cell->nameBox()->setSecret(row.mSecret);
        return cell;
    }
    case W::Spin: {
        KdPrmCellView* cell = createSpinBox(title, row.mPrmID, row.mConverter, row.mUnit);
        KdPrmSpinBox* box = cell->spinBox();
        if (row.mUnitConverter)
            box->setUnitBox(KdPrmSpinUnitBox::unitBoxWithConverter(row.mUnitConverter));
        if (row.mTextWidth) box->setTextWidth(row.mTextWidth);
        // A field that only the stepper and the wheel change; its text can still be copied.
        if (!row.mTextEditable) box->textField()->setReadOnly(true);
        return cell;
    }
    case W::Exec: {
        KdPrmCellView* cell = createExecButton(title, row.mPrmID, row.mLength);
        cell->execButton()->setRow(row);
        return cell;
    }
    case W::StillMemory:
    case W::MacAddress:
    case W::SerialNumber: {
        KdPrmCellView* cell = createPrmCellView(title);
        KdPrmValueBox* box = nullptr;
        if (row.mWidget == W::StillMemory)
            box = new KdPrmStillMemory(valuePosition(), mValueWidth);
        else if (row.mWidget == W::MacAddress)
            box = new KdPrmMacAddress(valuePosition(), mValueWidth);
        else
            box = new KdPrmSerialNumber(valuePosition(), mValueWidth);
        cell->setValueBox(box);
        box->setPrmId(row.mPrmID, mPrmManager, nullptr);
        placeValueWidget(cell, box);
        return cell;
    }
    }
    return createPrmCellView(title);
}

int KdPrmView::titleColumnWidth(const QFontMetrics& metrics) {
    int widest = 0;
    for (const CKdPageCatalogue::_SPage& page : CKdPageCatalogue::Pages())
        for (const CKdPageCatalogue::_SRow& row : page.mRows)
            widest = std::max(widest, metrics.horizontalAdvance(QString::fromUtf8(row.mLabel)));
    return widest;
}

int KdPrmView::valuePosition() const {
    // Measured once per font: every row of every page asks for it.
    static QString measuredFont;
    static int position = 0;
    if (const QString key = font().key(); key != measuredFont) {
        measuredFont = key;
        position = titleColumnWidth(fontMetrics()) + kTitleGap;
    }
    return position;
}

int KdPrmView::valueWidgetWidth(const QWidget* value, int rowWidth) const {
    // Spin boxes and buttons keep their own width; lists and text fields take the room there is,
    // but never less than their value width or, for a list, than its longest item needs.
    if (qobject_cast<const KdPrmSpinBox*>(value) || qobject_cast<const KdPrmExecButton*>(value))
        return value->width();
    int natural = std::max(mValueWidth, value->minimumWidth());
    if (qobject_cast<const QComboBox*>(value))
        natural = std::max(natural, value->sizeHint().width());
    const int room = rowWidth - valuePosition() - kRightMargin;
    return std::max(natural, std::min(room, kMaxValueWidth));
}

int KdPrmView::minimumPageWidth() const {
    int widest = 0;
    for (const KdPrmCellView* row : findChildren<KdPrmCellView*>())
        if (const QWidget* value = row->valueWidget())
            widest = std::max(widest, valueWidgetWidth(value, 0));
    return KdPrmCellView::kX + valuePosition() + widest + kRightMargin;
}

void KdPrmView::layoutRows() {
    const int minimum = std::max(kWidth, minimumPageWidth());
    if (minimumWidth() != minimum) setMinimumWidth(minimum);
    if (width() < minimum) resize(minimum, height()); // comes back here through resizeEvent
    for (KdPrmCellView* row : findChildren<KdPrmCellView*>()) {
        const QWidget* parent = row->parentWidget();
        row->resize(parent->width() - row->x(), row->height());
        if (QWidget* value = row->valueWidget()) {
            const int x = valuePosition() - row->mapTo(this, QPoint()).x() + KdPrmCellView::kX;
            value->setGeometry(x, value->y(), valueWidgetWidth(value, row->width()),
                               value->height());
        }
    }
}

void KdPrmView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutRows();
}

void KdPrmView::closeInformationWindow() {
    if (mInfoWindow) mInfoWindow->performClose();
    mInfoWindow = nullptr;
    mInfoSender = nullptr;
}

void KdPrmView::informationRequest(int code, QObject* sender) {
    if (code == kInfoNeedsReboot)
        LNotificationCenter::Default().Post(kInfoReqNeedsReboot, static_cast<const void*>(sender));
}

void KdPrmView::installNote(KdInfoPopup* note, QWidget* target, bool message) {
    closeInformationWindow();
    mInfoWindow = note;
    mInfoSender = target;
    mInfoIsMessage = message;
    connect(note, &UiPopupWindow::closing, this, [this, note] {
        if (mInfoWindow == note) {
            mInfoWindow = nullptr;
            mInfoSender = nullptr;
        }
    });
}

void KdPrmView::showMessage(QWidget* target, const QString& text) {
    if (!target || !parentWidget() || !isVisible()) return;
    KdInfoPopup* note = KdInfoPopup::information(text, target);
    note->setAliveTime(kMessageAliveTime);
    installNote(note, target, true);
}

void KdPrmView::infoReqNeedsReboot(const void* sender) {
    // The sender is a view only when it is one of the live widgets; it is compared, never
    // dereferenced, before that is known.
    QWidget* view = nullptr;
    for (QWidget* widget : QApplication::allWidgets())
        if (static_cast<const void*>(static_cast<QObject*>(widget)) == sender) view = widget;
    const bool inWindow = parentWidget() && isVisible();
    // A new edit of the widget a message points at replaces the message, which it makes stale.
    if (inWindow && view && (view != mInfoSender || mInfoIsMessage)) {
        installNote(KdInfoPopup::information(tr(kRebootNote), view), view, false);
        return;
    }
    if (mInfoWindow) mInfoWindow->cancelFadeOut();
}

void KdPrmView::followNote() {
    if (!mInfoWindow || !mInfoSender) return;
    if (mInfoSender->visibleRegion().isEmpty()) {
        closeInformationWindow();
        return;
    }
    mInfoWindow->setArrowToView(mInfoSender, QRectF(mInfoSender->rect()));
}

bool KdPrmView::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange && !parentWidget()) closeInformationWindow();
    if (event->type() == QEvent::Move) followNote();
    return QWidget::event(event);
}
