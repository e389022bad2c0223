#include "ViewPlacement.h"

#include <QWidget>

void ViewPlacement::arrangeLeftOfView(QWidget* view, const QWidget*) {
    view->move(0, view->y());
}

void ViewPlacement::arrangeRightOfView(QWidget* view, const QWidget* container) {
    view->move(container->width() - view->width(), view->y());
}

void ViewPlacement::arrangeTopOfView(QWidget* view, const QWidget*) {
    view->move(view->x(), 0);
}

void ViewPlacement::arrangeBottomOfView(QWidget* view, const QWidget* container) {
    view->move(view->x(), container->height() - view->height());
}

void ViewPlacement::arrangeVerticalCenterOfView(QWidget* view, const QWidget* container) {
    view->move(view->x(), (container->height() - view->height()) / 2);
}

void ViewPlacement::arrangeHorizontalCenterOfView(QWidget* view, const QWidget* container) {
    view->move((container->width() - view->width()) / 2, view->y());
}
