#pragma once

#include "UiPopupWindow.h"

// A one-line note above a widget with the arrow pointing down at it. It stays five seconds,
// fades out in half a second and deletes itself once closed.
class KdInfoPopup : public UiPopupWindow {
    Q_OBJECT

public:
    static constexpr double kAliveTime = 5.0;
    static constexpr double kFadeOutTime = 0.5;
    static constexpr int kMargin = 20;       // around the text
    static constexpr float kOpacity = 0.85f; // of the body

    // Builds the note for text, shows it attached to view's window and returns it.
    static KdInfoPopup* information(const QString& text, QWidget* view);

    QString text() const;

private:
    using UiPopupWindow::UiPopupWindow;
};
