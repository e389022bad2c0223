#pragma once

#include "LPrmObserverBridge.h"
#include "LString.h"

#include <QLineEdit>

class LPrmManager;

// A text stored as a run of one-character parameters. The typed text is stored when editing
// ends and differs from what the switcher holds.
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

    std::optional<bool> updateValue(LPrmObserverBridge* bridge) override;
    void valueUpdated(LPrmObserverBridge* bridge) override;

private:
    void commitText();

    LPrmObserverBridge mPrmObserver;
    int mLength = 0;
    LString mString; // the last text read
    int mEditedInfo = 0;
};
