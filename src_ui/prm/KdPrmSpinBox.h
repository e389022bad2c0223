#pragma once

#include "KdPrmSpinUnitBox.h"
#include "LPrmManager.h"
#include "LPrmObserverBridge.h"

#include <QPointer>
#include <QWidget>

class KdPrmStepper;
class LPrmConverter;
class LPrmManager;
class QLineEdit;

// A numeric parameter: a text field (digits, "-" and ".", at most 8 characters) that shows the
// value through the converter and stores what is typed when editing ends, a stepper that moves
// the stored value one unit per click, and an optional unit text. The wheel over the text field
// steps the value too, but only while the field has the keyboard focus; otherwise it scrolls the
// page.
//
// An entry that is limited, rounded or refused, and a refused keystroke, leave a message that
// names what the field takes (range, unit, step); so does the row's tooltip.
class KdPrmSpinBox : public QWidget, public LPrmObserverBridge::Delegate {
    Q_OBJECT

public:
    static constexpr int kDefaultTextWidth = 50;
    static constexpr int kMaxTextLength = 8;

    explicit KdPrmSpinBox(const QRect& frame, QWidget* parent = nullptr);
    ~KdPrmSpinBox() override;

    void setPrmId(long id, LPrmManager* manager, const LPrmConverter* converter);
    LPrmObserverBridge& observer() { return mPrmObserver; }

    QLineEdit* textField() const { return mTextField; }
    KdPrmStepper* stepper() const { return mStepper; }
    KdPrmSpinUnitBox* unitBox() const { return mUnitBox; }
    // Replaces (and deletes) the unit box; the new one shows the current value.
    void setUnitBox(KdPrmSpinUnitBox* box);

    int textWidth() const { return mTextWidth; }
    void setTextWidth(int width);
    // What is left right of the stepper.
    int unitWidth() const;

    int editedInfo() const { return mEditedInfo; }
    void setEditedInfo(int code) { mEditedInfo = code; }
    // Reports an edit with the text field as the sender, so that a note points at the field.
    void editedInformation();

    // What the field takes: "0.0 to 6.0 sec, in steps of 0.1 sec"; empty while unbound.
    QString rangeText() const;
    // The bound parameter's stored range; empty while unbound.
    LPrmManager::_SRangeInfo range() const;
    // A stored value as the number the field shows it ("0.5" for 5 tenths); the stored value
    // itself when the shown text is not a number.
    double shownNumber(int value) const;
    // Stores text as if typed into the field and committed, with the same messages.
    void enterText(const QString& text);

    void valueUpdated(LPrmObserverBridge* bridge) override;

signals:
    // A short message about the last entry or keystroke, for a note at the text field.
    void entryMessage(const QString& text);
    // rangeText() may have changed (binding, unit box).
    void rangeChanged();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void actionStepper(int delta);
    void commitText();
    void keystrokeRefused();
    // Sends what happened, followed by what the field takes and, when the entry changed the
    // stored value of a field that needs a reboot, the reboot note.
    void emitEntryMessage(const QString& what, bool changed);
    void layoutSubItems();
    void updateRange();

    LPrmObserverBridge mPrmObserver;
    const LPrmConverter* mPrmConverter;
    QLineEdit* mTextField;
    KdPrmStepper* mStepper;
    QPointer<KdPrmSpinUnitBox> mUnitBox;
    int mTextWidth = 0;
    int mEditedInfo = 0;
};
