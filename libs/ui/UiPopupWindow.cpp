#include "UiPopupWindow.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QWheelEvent>
#include <QWindow>

UiPopupWindow::UiPopupWindow(QSizeF popupSize, QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint), mPopupSize(popupSize),
      mFade(new QPropertyAnimation(this, "windowOpacity", this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    mTimer.setSingleShot(true);
    connect(&mTimer, &QTimer::timeout, this, &UiPopupWindow::performClose);
    connect(mFade, &QPropertyAnimation::finished, this, [this] {
        if (windowOpacity() == 0.0) close(); // a cancelFadeOut during the fade keeps it
    });
    adjustGeometry();
    setNeedsMakeBackground();
}

UiPopupWindow::~UiPopupWindow() {
    mTimer.stop();
}

void UiPopupWindow::setPopupSize(QSizeF size) {
    mPopupSize = size;
    adjustGeometry();
    layoutContentViews();
}

void UiPopupWindow::setArrowDirection(int direction) {
    mArrowDirection = direction;
    adjustGeometry();
    setNeedsMakeBackground();
    layoutContentViews();
}

void UiPopupWindow::setArrowToRect(const QRectF& globalRect) {
    mArrowToRect = globalRect;
    adjustGeometry();
}

void UiPopupWindow::setArrowToView(QWidget* view, const QRectF& rect) {
    if (!view) return;
    setArrowToRect(rect.translated(view->mapToGlobal(QPointF(0, 0))));
}

void UiPopupWindow::setArrowSize(qreal size) {
    mArrowSize = size;
    setNeedsMakeBackground();
    layoutContentViews();
}

void UiPopupWindow::setBorderWidth(qreal width) {
    mBorderWidth = width;
    adjustGeometry();
    setNeedsMakeBackground();
    layoutContentViews();
}

void UiPopupWindow::setCornerRadius(qreal radius) {
    mCornerRadius = radius;
    setNeedsMakeBackground();
    layoutContentViews();
}

void UiPopupWindow::setPopupColor(const QColor& color) {
    mPopupColor = color;
    setNeedsMakeBackground();
}

void UiPopupWindow::setBorderColor(const QColor& color) {
    mBorderColor = color;
    setNeedsMakeBackground();
}

void UiPopupWindow::setAliveTime(double seconds) {
    mAliveTime = seconds;
    mFade->stop();
    setWindowOpacity(1.0);
    mTimer.stop();
    if (seconds > 0) mTimer.start(static_cast<int>(seconds * 1000));
}

QRectF UiPopupWindow::popupFrame() const {
    QRectF frame(QPointF(0, 0), size());
    switch (mArrowDirection) {
    case kArrowRightOfTarget:
        return frame.adjusted(mArrowSize, 0, 0, 0);
    case kArrowLeftOfTarget:
        return frame.adjusted(0, 0, -mArrowSize, 0);
    case kArrowBelowTarget:
        return frame.adjusted(0, mArrowSize, 0, 0);
    case kArrowAboveTarget:
        return frame.adjusted(0, 0, 0, -mArrowSize);
    }
    return frame;
}

void UiPopupWindow::adjustGeometry() {
    qreal width = mPopupSize.width() + 2 * mBorderWidth;
    qreal height = mPopupSize.height() + 2 * mBorderWidth;
    const QRectF& a = mArrowToRect;
    QPointF origin(-mBorderWidth, -mBorderWidth);
    switch (mArrowDirection) {
    case kArrowRightOfTarget:
        width += mArrowSize;
        origin = {a.right(), a.y() + (a.height() - height) / 2};
        break;
    case kArrowLeftOfTarget:
        width += mArrowSize;
        origin = {a.x() - width, a.y() + (a.height() - height) / 2};
        break;
    case kArrowBelowTarget:
        height += mArrowSize;
        origin = {a.x() + (a.width() - width) / 2, a.bottom()};
        break;
    case kArrowAboveTarget:
        height += mArrowSize;
        origin = {a.x() + (a.width() - width) / 2, a.y() - height};
        break;
    }
    setGeometry(QRectF(origin, QSizeF(width, height)).toRect());
}

void UiPopupWindow::performClose() {
    mTimer.stop();
    if (mFadeOutTime <= 0) {
        close();
        return;
    }
    mFade->stop();
    mFade->setDuration(static_cast<int>(mFadeOutTime * 1000));
    mFade->setStartValue(windowOpacity());
    mFade->setEndValue(0.0);
    mFade->start();
}

void UiPopupWindow::showAttachedTo(QWidget* host) {
    if (mHost) mHost->removeEventFilter(this);
    mHost = host ? host->window() : nullptr;
    if (mHost) {
        mHostPosition = mHost->pos();
        mHost->installEventFilter(this);
    }
    makeBackgroundIfNeeded();
    show();
    raise();
}

bool UiPopupWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mHost && event->type() == QEvent::Move) {
        move(pos() + mHost->pos() - mHostPosition);
        mHostPosition = mHost->pos();
    }
    return QWidget::eventFilter(watched, event);
}

void UiPopupWindow::setNeedsMakeBackground() {
    if (isVisible()) {
        installBackground(makeBackgroundImage());
        return;
    }
    if (mNeedsMakeBackground) return;
    mNeedsMakeBackground = true;
    QTimer::singleShot(0, this, &UiPopupWindow::makeBackgroundIfNeeded);
}

void UiPopupWindow::makeBackgroundIfNeeded() {
    if (!mNeedsMakeBackground) return;
    mNeedsMakeBackground = false;
    installBackground(makeBackgroundImage());
}

void UiPopupWindow::installBackground(QImage image) {
    mBackground = std::move(image);
    // The mask holds the outline with its whole border; an empty one (no shape) clears it.
    QBitmap shape(size());
    shape.fill(Qt::color0);
    QPainter painter(&shape);
    painter.setPen(QPen(Qt::color1, mBorderWidth + 2)); // with the antialiased edge
    painter.setBrush(Qt::color1);
    painter.drawPath(outline());
    painter.end();
    setMask(shape);
    update();
}

QPainterPath UiPopupWindow::outline() const {
    // The outline lies wholly inside the window: the body inset by half the border, the arrow's
    // tip one border width from the window's edge. The arrow's base reaches a little into the
    // body so that the union has no seam.
    const QRectF r = popupFrame().adjusted(mBorderWidth / 2, mBorderWidth / 2, -mBorderWidth / 2,
                                           -mBorderWidth / 2);
    const qreal a = mArrowSize, b = mBorderWidth, overlap = mBorderWidth;
    const QPointF mid = r.center();
    QPolygonF arrow;
    switch (mArrowDirection) {
    case kArrowRightOfTarget:
        arrow << QPointF(b, mid.y()) << QPointF(r.left() + overlap, mid.y() - a)
              << QPointF(r.left() + overlap, mid.y() + a);
        break;
    case kArrowLeftOfTarget:
        arrow << QPointF(width() - b, mid.y()) << QPointF(r.right() - overlap, mid.y() + a)
              << QPointF(r.right() - overlap, mid.y() - a);
        break;
    case kArrowBelowTarget:
        arrow << QPointF(mid.x(), b) << QPointF(mid.x() - a, r.top() + overlap)
              << QPointF(mid.x() + a, r.top() + overlap);
        break;
    case kArrowAboveTarget:
        arrow << QPointF(mid.x(), height() - b) << QPointF(mid.x() + a, r.bottom() - overlap)
              << QPointF(mid.x() - a, r.bottom() - overlap);
        break;
    default:
        return {}; // no shape for an unknown direction
    }
    QPainterPath body;
    body.addRoundedRect(r, mCornerRadius, mCornerRadius);
    QPainterPath tip;
    tip.addPolygon(arrow);
    tip.closeSubpath();
    return body.united(tip).simplified();
}

QImage UiPopupWindow::makeBackgroundImage() const {
    if (width() <= 0 || height() <= 0) return {};
    QImage image(size() * devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatioF());
    image.fill(Qt::transparent);
    const QPainterPath shape = outline();
    if (shape.isEmpty()) return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(shape, mPopupColor);
    painter.strokePath(shape, QPen(mBorderColor, mBorderWidth));
    return image;
}

void UiPopupWindow::paintEvent(QPaintEvent*) {
    if (mNeedsMakeBackground) { // shown before the pending drawing came
        mNeedsMakeBackground = false;
        installBackground(makeBackgroundImage());
    }
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(0, 0), mBackground);
}

bool UiPopupWindow::forwardToHost(QEvent* event) {
    QWindow* window = mHost && mHost->isVisible() ? mHost->windowHandle() : nullptr;
    if (!window) return false;
    // What the window system would have delivered there. A copy is not spontaneous, so Qt
    // neither moves the focus on its press nor passes its wheel turn on to the parents; both are
    // done here as Qt does them for the window system's events.
    if (event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const QPointF global = wheel->globalPosition();
        for (QWidget* widget = hostWidgetAt(mHost->mapFromGlobal(global).toPoint()); widget;
             widget = widget->parentWidget()) {
            QWheelEvent copy(widget->mapFromGlobal(global), global, wheel->pixelDelta(),
                             wheel->angleDelta(), wheel->buttons(), wheel->modifiers(),
                             wheel->phase(), wheel->inverted(), Qt::MouseEventNotSynthesized,
                             wheel->pointingDevice());
            QCoreApplication::sendEvent(widget, &copy);
            if (copy.isAccepted() || widget->isWindow()) break;
        }
        return true;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPointF global = mouse->globalPosition();
    const QPointF local = mHost->mapFromGlobal(global);
    if (event->type() == QEvent::MouseButtonPress) giveFocusAt(local.toPoint());
    QMouseEvent copy(mouse->type(), local, local, global, mouse->button(), mouse->buttons(),
                     mouse->modifiers(), mouse->pointingDevice());
    QCoreApplication::sendEvent(window, &copy);
    return true;
}

QWidget* UiPopupWindow::hostWidgetAt(QPoint local) const {
    QWidget* child = mHost->childAt(local);
    return child ? child : mHost.data();
}

void UiPopupWindow::giveFocusAt(QPoint local) {
    // The first widget from the one under the point up that takes the focus by a click gets
    // it; one that has it already keeps it.
    for (QWidget* widget = hostWidgetAt(local); widget; widget = widget->parentWidget()) {
        if (widget->isEnabled() && (widget->focusPolicy() & Qt::ClickFocus)) {
            widget->setFocus(Qt::MouseFocusReason);
            break;
        }
        const QWidget* focused = widget->focusProxy() ? widget->focusProxy() : widget;
        if (widget->isWindow() || focused->hasFocus()) break;
    }
    if (!mHost->isActiveWindow()) mHost->activateWindow();
}

void UiPopupWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
    // The widget that took the press also takes its release (Qt sends it to the pressed
    // widget), also when the popup has gone by then.
    forwardToHost(event);
    performClose();
}

void UiPopupWindow::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    forwardToHost(event);
}

void UiPopupWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    forwardToHost(event);
}

void UiPopupWindow::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    forwardToHost(event);
}

void UiPopupWindow::wheelEvent(QWheelEvent* event) {
    event->accept();
    forwardToHost(event);
}

void UiPopupWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    setNeedsMakeBackground();
    layoutContentViews();
}

void UiPopupWindow::closeEvent(QCloseEvent* event) {
    mTimer.stop();
    mFade->stop();
    if (mHost) mHost->removeEventFilter(this);
    emit closing();
    QWidget::closeEvent(event);
}
