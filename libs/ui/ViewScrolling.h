#pragma once

class QScrollArea;
class QWidget;

// Brings a view inside a scroll area's page into sight, vertically only.
class ViewScrolling {
public:
    // Scrolls so that the view with margin pixels around it is visible; when it is taller than
    // the visible part, its top wins. The move is animated over durationMs (0: at once).
    // False when the view was already in sight and nothing moved.
    static bool scrollToView(QScrollArea* area, const QWidget* view, int margin, int durationMs);
};
