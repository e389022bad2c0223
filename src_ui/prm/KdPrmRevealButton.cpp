#include "KdPrmRevealButton.h"

#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kMargin = 2; // between the button and the field's edge
} // namespace

KdPrmRevealButton::KdPrmRevealButton(QLineEdit* field) : QToolButton(field), mField(field) {
    setCheckable(true);
    setAutoRaise(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::ArrowCursor);
    setToolTip(tr("Show the text"));
    field->setEchoMode(QLineEdit::Password);
    connect(this, &QToolButton::toggled, this, [this](bool revealed) {
        mField->setEchoMode(revealed ? QLineEdit::Normal : QLineEdit::Password);
        setToolTip(revealed ? tr("Hide the text") : tr("Show the text"));
    });
    placeInField();
}

void KdPrmRevealButton::placeInField() {
    const int side = mField->height() - 2 * kMargin;
    setGeometry(mField->width() - side - kMargin, kMargin, side, side);
    mField->setTextMargins(0, 0, side + kMargin, 0);
}

void KdPrmRevealButton::paintEvent(QPaintEvent* event) {
    QToolButton::paintEvent(event); // the panel: hover, pressed and focus
    // An eye in the field's text colour; struck through while the text is shown, as the click
    // would hide it again.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink =
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text);
    painter.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::RoundCap));
    const QRectF box = QRectF(rect()).adjusted(3, 3, -3, -3);
    const qreal w = box.width(), h = box.height() * 0.6;
    const QPointF c = box.center();
    QPainterPath lid;
    lid.moveTo(c.x() - w / 2, c.y());
    lid.quadTo(c.x(), c.y() - h, c.x() + w / 2, c.y());
    lid.quadTo(c.x(), c.y() + h, c.x() - w / 2, c.y());
    painter.drawPath(lid);
    painter.setBrush(ink);
    painter.drawEllipse(c, w * 0.14, w * 0.14);
    if (isChecked()) painter.drawLine(box.bottomLeft(), box.topRight());
}
