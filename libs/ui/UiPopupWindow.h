#pragma once

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QTimer>
#include <QWidget>

class QPainterPath;
class QPropertyAnimation;

// A small frameless, translucent window with rounded corners and an arrow that points at a
// target. It stays for aliveTime seconds, fades out over fadeOutTime seconds and closes; a click
// closes it at once (with the fade). Coordinates are Qt's: global, y growing downward.
//
// The note never takes the mouse for itself: once it is attached to a window, every click and
// wheel turn on it also goes on to that window at the same place, so a click on a field that the
// note covers reaches the field. Its shape is also its window mask: without a compositor the
// transparent corners would otherwise show black.
//
// The window does not delete itself on close unless its owner sets Qt::WA_DeleteOnClose.
class UiPopupWindow : public QWidget {
    Q_OBJECT

public:
    // Where the body sits relative to the target; the arrow is on the side facing it.
    enum : int {
        kArrowRightOfTarget = 0, // arrow on the body's left edge, pointing left
        kArrowLeftOfTarget = 1,  // arrow on the right edge, pointing right
        kArrowBelowTarget = 2,   // arrow on the top edge, pointing up
        kArrowAboveTarget = 3,   // arrow on the bottom edge, pointing down
    };

    // The body's size, without border and arrow. The window is not shown.
    explicit UiPopupWindow(QSizeF popupSize, QWidget* parent = nullptr);
    ~UiPopupWindow() override;

    QSizeF popupSize() const { return mPopupSize; }
    void setPopupSize(QSizeF size);
    int arrowDirection() const { return mArrowDirection; }
    void setArrowDirection(int direction);
    QRectF arrowToRect() const { return mArrowToRect; }
    void setArrowToRect(const QRectF& globalRect);
    // Aims at rect of view (in view's coordinates); nothing without a view.
    void setArrowToView(QWidget* view, const QRectF& rect);
    qreal arrowSize() const { return mArrowSize; }
    void setArrowSize(qreal size);
    qreal borderWidth() const { return mBorderWidth; }
    void setBorderWidth(qreal width);
    qreal cornerRadius() const { return mCornerRadius; }
    void setCornerRadius(qreal radius);
    QColor popupColor() const { return mPopupColor; }
    void setPopupColor(const QColor& color);
    QColor borderColor() const { return mBorderColor; }
    void setBorderColor(const QColor& color);

    double aliveTime() const { return mAliveTime; }
    // Back to full opacity and the whole time again; 0 or less: shown until closed.
    void setAliveTime(double seconds);
    double fadeOutTime() const { return mFadeOutTime; }
    // 0 or less: performClose closes without fading.
    void setFadeOutTime(double seconds) { mFadeOutTime = seconds; }

    // The body's rectangle in the window's own coordinates.
    QRectF popupFrame() const;

    // Keeps a popup that is fading out (or about to): full opacity and the whole alive time.
    void cancelFadeOut() { setAliveTime(mAliveTime); }
    // Shows the popup above host's window and keeps it at its place when that window moves.
    void showAttachedTo(QWidget* host);

    // Draws the background now when one is pending.
    void makeBackgroundIfNeeded();

public slots:
    // Stops the timer and fades out; closes at the end of the fade unless cancelFadeOut came.
    void performClose();

signals:
    // The window is closing, by its timer, a click or its owner.
    void closing();

protected:
    // Places the subclass's content after a change of size or shape; nothing in the base.
    virtual void layoutContentViews() {}
    // The outline of body and arrow, filled and stroked into an image of the window's size.
    virtual QImage makeBackgroundImage() const;
    // Draws at once while visible, otherwise once on the next turn of the event loop, however
    // many changes come before it.
    void setNeedsMakeBackground();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window frame from body size, border, arrow and target.
    void adjustGeometry();
    // The outline of body and arrow in the window's coordinates; empty for an unknown direction.
    QPainterPath outline() const;
    // Takes a new background and makes the window's mask follow its shape.
    void installBackground(QImage image);
    // Sends a copy of event to the attached window at the same place on the screen; false when
    // the popup is attached to none.
    bool forwardToHost(QEvent* event);
    // The host's innermost widget at local (the host's coordinates), or the host itself.
    QWidget* hostWidgetAt(QPoint local) const;
    // Moves the keyboard focus as a click at local would.
    void giveFocusAt(QPoint local);

    QSizeF mPopupSize;
    int mArrowDirection = kArrowRightOfTarget;
    QRectF mArrowToRect;
    qreal mArrowSize = 10;
    qreal mBorderWidth = 2;
    qreal mCornerRadius = 10;
    QColor mPopupColor = QColor::fromRgbF(0.3f, 0.3f, 0.3f, 0.5f);
    QColor mBorderColor = Qt::white;
    double mAliveTime = 0;
    double mFadeOutTime = 0;
    QTimer mTimer; // starts the fade
    QPropertyAnimation* mFade;
    bool mNeedsMakeBackground = false;
    QImage mBackground;
    QPointer<QWidget> mHost; // the window the popup follows
    QPoint mHostPosition;
};
