#pragma once

#include "KdPrmExecButton.h"
#include "KdPrmLabel.h"
#include "KdPrmNameBox.h"
#include "KdPrmPopUpButton.h"
#include "KdPrmSpinBox.h"
#include "KdPrmValueBox.h"

#include <QPointer>
#include <QWidget>

class LPrmObserver;
class QWheelEvent;

// One row of a page: the title at the left and at most one value widget of each kind. Installing
// a widget replaces (and deletes) the one in its slot, gives it the row's title as its
// accessible name and makes it the title's buddy (the title labels it). The title and the value
// widget share one tooltip: the name kaldo-ctl takes for the row (its title) and, for a number, its
// range, step and unit.
class KdPrmCellView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kX = 5;
    static constexpr int kHeight = 30;

    // A row at y across the page (its width less kX).
    KdPrmCellView(int y, const QString& title, QWidget* page);

    QString title() const;
    QString toolTipText() const;
    KdPrmLabel* label() const { return mLabel; }

    KdPrmPopUpButton* popup() const { return mPopup; }
    void setPopup(KdPrmPopUpButton* popup);
    KdPrmValueBox* valueBox() const { return mValueBox; }
    void setValueBox(KdPrmValueBox* box);
    KdPrmSpinBox* spinBox() const { return mSpinBox; }
    void setSpinBox(KdPrmSpinBox* box);
    KdPrmNameBox* nameBox() const { return mNameBox; }
    void setNameBox(KdPrmNameBox* box);
    KdPrmExecButton* execButton() const { return mExecButton; }
    void setExecButton(KdPrmExecButton* button);
    // The one control of a row that stands for several parameters (an address, a colour).
    QWidget* groupControl() const { return mGroupControl; }
    void setGroupControl(QWidget* control);
    // The row's value widget, whatever its kind; null when it has none.
    QWidget* valueWidget() const;

    // The scroll-wheel step of the numeric widgets: the wheel's physical movement in notches
    // (natural scrolling undone), truncated toward zero but at least one step, added to the
    // observer's value. Always handled.
    static bool handleScrollWheel(QWheelEvent* event, LPrmObserver* observer);
    // The step for a movement of delta notches; 0 for none.
    static int scrollStep(double delta);

private:
    template <class Widget>
    void install(QPointer<Widget>& slot, Widget* widget);
    void updateToolTip();

    KdPrmLabel* mLabel;
    QPointer<KdPrmPopUpButton> mPopup;
    QPointer<KdPrmValueBox> mValueBox;
    QPointer<KdPrmSpinBox> mSpinBox;
    QPointer<KdPrmNameBox> mNameBox;
    QPointer<KdPrmExecButton> mExecButton;
    QPointer<QWidget> mGroupControl;
};
