#pragma once

class QWidget;

// The appearance a widget is drawn in, as its palette gives it.
class ViewAppearance {
public:
    // True when the widget's window colour is darker than its text colour.
    static bool IsAppearanceDarkMode(const QWidget* view);
};
