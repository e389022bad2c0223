#include "KdPrmNameBox.h"

#include "KdPrmRevealButton.h"
#include "KdPrmView.h"
#include "TextFieldInputFilter.h"

#include <cstring>

KdPrmNameBox::KdPrmNameBox(int x, int width, QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignCenter);
    setGeometry(x, 0, width, sizeHint().height());
    connect(this, &QLineEdit::textEdited, this,
            [this] { KdPrmView::informationRequest(mEditedInfo, this); });
    connect(this, &QLineEdit::editingFinished, this, &KdPrmNameBox::commitText);
    connect(this, &QLineEdit::inputRejected, this, &KdPrmNameBox::keystrokeRefused);
}

void KdPrmNameBox::setPrmId(long id, LPrmManager* manager, int length) {
    mLength = length;
    mPrmObserver.Setup(manager, id, this);
}

void KdPrmNameBox::setSecret(bool secret) {
    delete mRevealButton.data();
    if (!secret) {
        setEchoMode(Normal);
        setTextMargins(0, 0, 0, 0);
        return;
    }
    mRevealButton = new KdPrmRevealButton(this);
    mRevealButton->setAccessibleName(tr("Show %1").arg(accessibleName()));
    mRevealButton->show();
    setTabOrder(this, mRevealButton);
}

std::optional<bool> KdPrmNameBox::updateValue(LPrmObserverBridge* bridge) {
    LString text = mPrmObserver.StringValue(mLength, 1);
    const bool changed = std::strcmp(text, mString) != 0;
    mString = text;
    return changed;
}

void KdPrmNameBox::valueUpdated(LPrmObserverBridge* bridge) {
    setText(QString::fromUtf8(mString.CString()));
    if (!hasFocus()) home(false); // a text longer than the field shows its beginning
}

void KdPrmNameBox::commitText() {
    if (isReadOnly()) return;
    const QByteArray typed = text().toUtf8();
    if (std::strcmp(mPrmObserver.StringValue(mLength, 1), typed.constData()) == 0) return;
    mPrmObserver.SetStringValue(typed.constData(), mLength, 1, 0);
    mPrmObserver.UpdateValue();
    valueUpdated(&mPrmObserver); // what the switcher holds now, also when it was refused
}

void KdPrmNameBox::keystrokeRefused() {
    const auto* filter = qobject_cast<const TextFieldInputFilter*>(validator());
    if (!filter) return;
    const QChar refused = filter->lastRefusedCharacter();
    if (refused.isNull()) {
        emit entryMessage(tr("At most %1 characters.").arg(mLength));
        return;
    }
    const QString shown = refused.isPrint()
                              ? QString::fromUtf8("\u201c%1\u201d").arg(refused)
                              : QString("U+%1").arg(refused.unicode(), 4, 16, QChar('0')).toUpper();
    emit entryMessage(tr("%1 can't be stored: the switcher keeps only ASCII letters, digits, "
                         "spaces and punctuation.")
                          .arg(shown));
}

void KdPrmNameBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event); // commits
    home(false);
}

void KdPrmNameBox::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    if (mRevealButton) mRevealButton->placeInField();
}
