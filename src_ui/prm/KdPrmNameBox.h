#pragma once

#include "KdPrmRevealButton.h"
#include "LPrmObserverBridge.h"
#include "LString.h"

#include <QLineEdit>
#include <QPointer>

class LPrmManager;

// A text stored as a run of one-character parameters. The typed text is stored when editing
// ends and differs from what the switcher holds. Out of editing the field shows the text's
// beginning. A keystroke the filter refuses (a character the switcher cannot store, or one too
// many) leaves a hint.
class KdPrmNameBox : public QLineEdit, public LPrmObserverBridge::Delegate {
    Q_OBJECT

public:
    KdPrmNameBox(int x, int width, QWidget* parent = nullptr);

    // Binds to the length characters from id on.
    void setPrmId(long id, LPrmManager* manager, int length);
    LPrmObserverBridge& observer() { return mPrmObserver; }
    int length() const { return mLength; }

    int editedInfo() const { return mEditedInfo; }
    void setEditedInfo(int code) { mEditedInfo = code; }

    // A secret shows as dots, with a button that reveals it; the button is named after the
    // field's accessible name, so set that first.
    void setSecret(bool secret);
    KdPrmRevealButton* revealButton() const { return mRevealButton; }

    std::optional<bool> updateValue(LPrmObserverBridge* bridge) override;
    void valueUpdated(LPrmObserverBridge* bridge) override;

signals:
    // A short hint about a refused keystroke, for a note at the field.
    void entryMessage(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void commitText();
    void keystrokeRefused();

    LPrmObserverBridge mPrmObserver;
    int mLength = 0;
    LString mString; // the last text read
    int mEditedInfo = 0;
    QPointer<KdPrmRevealButton> mRevealButton;
};
