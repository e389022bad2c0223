#include "KdLogoView.h"

#include "ViewAppearance.h"

#include <QEvent>
#include <QIcon>

namespace {
constexpr QSize kLogoSize(168, 44);
}

KdLogoView::KdLogoView(QWidget* parent) : QLabel(parent) {
    setFixedSize(kLogoSize);
    setAccessibleName(tr("Maker's logo"));
    setupLogoImage();
}

void KdLogoView::setupLogoImage() {
    mImageName = ViewAppearance::IsAppearanceDarkMode(this) ? ":/LogoORM_w.svg" : ":/LogoORM.svg";
    // Drawn from the SVG at the screen's pixel ratio, so the logo stays sharp on HiDPI.
    setPixmap(QIcon(mImageName).pixmap(kLogoSize, devicePixelRatioF()));
}

void KdLogoView::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) setupLogoImage();
}
