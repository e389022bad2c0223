#pragma once

#include "KdPrmGroupObserver.h"

#include <QLineEdit>

class LPrmManager;

// An IPv4 address over four one-octet parameters, shown and typed (or pasted) whole as
// "192.168.1.200". Editing ends with Return or when the focus leaves: an address whose four
// parts are numbers from 0 to 255 is written as its four parameters, in order; anything else is
// refused whole, with a message, and the field shows the stored address again.
class KdPrmIpAddress : public QLineEdit {
    Q_OBJECT

public:
    static constexpr int kMaxTextLength = 40; // room for a paste with blanks around it

    explicit KdPrmIpAddress(QWidget* parent = nullptr);

    // Binds to the four parameters from firstId on.
    void setPrmId(long firstId, LPrmManager* manager);
    int editedInfo() const { return mEditedInfo; }
    void setEditedInfo(int code) { mEditedInfo = code; }

signals:
    // A short message about the last entry, or a part the switcher refused.
    void entryMessage(const QString& text);

private:
    void showAddress();
    void commitText();

    KdPrmGroupObserver mGroup;
    int mEditedInfo = 0;
};
