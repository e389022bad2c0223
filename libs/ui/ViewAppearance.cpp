#include "ViewAppearance.h"

#include <QPalette>
#include <QWidget>

bool ViewAppearance::IsAppearanceDarkMode(const QWidget* view) {
    const QPalette& palette = view->palette();
    return palette.color(QPalette::Window).lightness() <
           palette.color(QPalette::WindowText).lightness();
}
