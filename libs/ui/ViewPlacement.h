#pragma once

class QWidget;

// Moves a view inside a container (normally its parent), keeping its size and its other
// coordinate. Only the container's size is used; y grows downward.
class ViewPlacement {
public:
    static void arrangeLeftOfView(QWidget* view, const QWidget* container);
    static void arrangeRightOfView(QWidget* view, const QWidget* container);
    static void arrangeTopOfView(QWidget* view, const QWidget* container);
    static void arrangeBottomOfView(QWidget* view, const QWidget* container);
    static void arrangeVerticalCenterOfView(QWidget* view, const QWidget* container);
    static void arrangeHorizontalCenterOfView(QWidget* view, const QWidget* container);
};
