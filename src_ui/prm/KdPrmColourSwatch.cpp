#include "KdPrmColourSwatch.h"

#include <QColorDialog>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kChannelMax = 255;
constexpr QSize kSwatchSize(36, 16);
constexpr int kSwatchGap = 4; // between the swatch and the text, as a button's icon has

// A channel of 0..255 onto range, and back.
int toPrm(int channel, const LPrmManager::_SRangeInfo& range) {
    return range.mMin +
           static_cast<int>(std::lround(channel * double(range.mMax - range.mMin) / kChannelMax));
}
int toChannel(int value, const LPrmManager::_SRangeInfo& range) {
    if (range.mMax <= range.mMin) return 0;
    const double share = double(value - range.mMin) / (range.mMax - range.mMin);
    return std::clamp(static_cast<int>(std::lround(share * kChannelMax)), 0, kChannelMax);
}

} // namespace

KdPrmColourSwatch::KdPrmColourSwatch(QWidget* parent)
    : QPushButton(parent), mGroup([this] { showColour(); },
                                  [this](const QString& message) { emit entryMessage(message); }) {
    setText(tr("Choose\u2026"));
    connect(this, &QPushButton::clicked, this, &KdPrmColourSwatch::chooseColour);
    setMinimumWidth(sizeHint().width());
}

void KdPrmColourSwatch::setPrmId(long firstId, LPrmManager* manager, const QString& title) {
    mTitle = title;
    mGroup.setup(manager, firstId, 3);
    showColour();
}

QColor KdPrmColourSwatch::colour() const {
    if (mGroup.count() != 3) return {};
    return QColor(toChannel(mGroup.value(0), mGroup.range(0)),
                  toChannel(mGroup.value(1), mGroup.range(1)),
                  toChannel(mGroup.value(2), mGroup.range(2)));
}

QColorDialog* KdPrmColourSwatch::dialog() const {
    return mDialog;
}

QSize KdPrmColourSwatch::sizeHint() const {
    const QSize text = QPushButton::sizeHint();
    return {text.width() + kSwatchSize.width() + kSwatchGap,
            std::max(text.height(), kSwatchSize.height())};
}

void KdPrmColourSwatch::showColour() {
    update();
    const QColor shown = colour();
    setAccessibleDescription(shown.isValid() ? shown.name() : QString());
}

// The colour is painted, not set as an icon: an icon holds a pixmap per colour, which the
// pixmap cache keeps (for each state it is drawn in) long after the page is gone.
void KdPrmColourSwatch::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    // Swatch and text centred together in the contents, as an icon and its text are.
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const int width = kSwatchSize.width() + kSwatchGap + fontMetrics().horizontalAdvance(text());
    QRect swatch(QPoint(), kSwatchSize);
    swatch.moveCenter(contents.center());
    swatch.moveLeft(std::max(contents.left(), contents.center().x() - width / 2));
    // Framed in the text colour, so that black shows on dark and white on light.
    const QColor shown = colour();
    painter.setPen(option.palette.color(QPalette::ButtonText));
    painter.setBrush(shown.isValid() ? shown : option.palette.color(QPalette::Button));
    painter.drawRect(QRectF(swatch).adjusted(0.5, 0.5, -0.5, -0.5));

    QStyleOptionButton label = option;
    label.rect = QRect(swatch.right() + 1 + kSwatchGap, contents.top(),
                       width - kSwatchSize.width() - kSwatchGap, contents.height());
    painter.drawControl(QStyle::CE_PushButtonLabel, label);
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

void KdPrmColourSwatch::chooseColour() {
    if (!mGroup.manager()) return;
    if (mDialog) {
        mDialog->raise();
        return;
    }
    mDialog = new QColorDialog(colour(), this);
    mDialog->setAttribute(Qt::WA_DeleteOnClose);
    mDialog->setWindowTitle(mTitle);
    connect(mDialog, &QColorDialog::colorSelected, this, &KdPrmColourSwatch::write);
    mDialog->open();
}

void KdPrmColourSwatch::write(const QColor& chosen) {
    if (!chosen.isValid() || mGroup.count() != 3) return;
    const std::array<int, 3> values = {toPrm(chosen.red(), mGroup.range(0)),
                                       toPrm(chosen.green(), mGroup.range(1)),
                                       toPrm(chosen.blue(), mGroup.range(2))};
    mGroup.write(values);
}
