#include "ViewScrolling.h"

#include <QPropertyAnimation>
#include <QScrollArea>
#include <QScrollBar>

bool ViewScrolling::scrollToView(QScrollArea* area, const QWidget* view, int margin,
                                 int durationMs) {
    const QWidget* page = area->widget();
    if (!page || !page->isAncestorOf(view)) return false;
    QScrollBar* bar = area->verticalScrollBar();
    // The visible part and the view, both in the page's coordinates.
    const int visibleTop = bar->value();
    const int visibleHeight = area->viewport()->height();
    const QRect r(view->mapTo(page, QPoint(0, 0)), view->size());

    int y = visibleTop;
    if (r.y() + r.height() + margin > visibleTop + visibleHeight)
        y = r.y() + r.height() - visibleHeight + margin;
    if (r.y() - margin < y) y = r.y() - margin;
    y = qBound(bar->minimum(), y, bar->maximum());
    if (y == visibleTop) return false;

    if (durationMs <= 0) {
        bar->setValue(y);
        return true;
    }
    auto* animation = new QPropertyAnimation(bar, "value", bar);
    animation->setDuration(durationMs);
    animation->setEndValue(y);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return true;
}
