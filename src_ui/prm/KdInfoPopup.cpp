#include "KdInfoPopup.h"

#include <QLabel>

KdInfoPopup* KdInfoPopup::information(const QString& text, QWidget* view) {
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    QPalette colors = label->palette();
    colors.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(colors);
    label->adjustSize();

    auto* popup =
        new KdInfoPopup(QSizeF(label->width() + 2 * kMargin, label->height() + 2 * kMargin),
                        view ? view->window() : nullptr);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    // Denser than the window's default, so the white text stays readable over a light window.
    popup->setPopupColor(QColor::fromRgbF(0.3f, 0.3f, 0.3f, kOpacity));
    popup->setArrowDirection(kArrowAboveTarget);
    popup->setFadeOutTime(kFadeOutTime);
    popup->setAliveTime(kAliveTime);
    popup->setArrowToView(view, view ? QRectF(view->rect()) : QRectF());

    label->setParent(popup);
    // 22 points above the body's lower edge, as the arrow sits below it.
    const QRectF body = popup->popupFrame();
    label->move(static_cast<int>(body.x()) + kMargin,
                static_cast<int>(body.bottom()) - 22 - label->height());
    popup->makeBackgroundIfNeeded();
    popup->showAttachedTo(view);
    return popup;
}

QString KdInfoPopup::text() const {
    const auto* label = findChild<QLabel*>();
    return label ? label->text() : QString();
}
