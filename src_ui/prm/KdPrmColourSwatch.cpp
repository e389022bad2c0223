#include "KdPrmColourSwatch.h"

#include <QEvent>
#include <QPainter>

#include <array>
#include <cmath>

namespace {

constexpr int kChannelMax = 255;
constexpr QSize kSwatchSize(36, 16);

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
    setIconSize(kSwatchSize);
    connect(this, &QPushButton::clicked, this, &KdPrmColourSwatch::chooseColour);
    showColour();
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

void KdPrmColourSwatch::showColour() {
    // The swatch is framed in the text colour, so that black shows on dark and white on light.
    QPixmap swatch(kSwatchSize * devicePixelRatioF());
    swatch.setDevicePixelRatio(devicePixelRatioF());
    swatch.fill(Qt::transparent);
    QPainter painter(&swatch);
    painter.setPen(palette().color(QPalette::ButtonText));
    const QColor shown = colour();
    painter.setBrush(shown.isValid() ? shown : palette().color(QPalette::Button));
    painter.drawRect(QRectF(0.5, 0.5, kSwatchSize.width() - 1, kSwatchSize.height() - 1));
    painter.end();
    setIcon(QIcon(swatch));
    setAccessibleDescription(shown.isValid() ? shown.name() : QString());
}

void KdPrmColourSwatch::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) showColour();
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
