#include "KdPrmValueBox.h"

#include "LPrmConverters.h"
#include "ViewAppearance.h"

#include <QEvent>

KdPrmValueBox::KdPrmValueBox(int x, int width, QWidget* parent)
    : QLineEdit(parent), mPrmConverter(&gPrmConverterNop) {
    setReadOnly(true);
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::ClickFocus); // selectable, but not a stop of the Tab chain
    setGeometry(x, 0, width, sizeHint().height());
    setupColorProperties();
}

void KdPrmValueBox::setPrmId(long id, LPrmManager* manager, const LPrmConverter* converter) {
    mPrmConverter = converter ? converter : &gPrmConverterNop;
    mPrmObserver.Setup(manager, id, this);
}

void KdPrmValueBox::setupColorProperties() {
    const QColor color =
        ViewAppearance::IsAppearanceDarkMode(this) ? QColor(30, 25, 20) : QColor(242, 236, 193);
    if (palette().color(QPalette::Base) == color) return; // also ends the change event it causes
    QPalette colors = palette();
    colors.setColor(QPalette::Base, color);
    setPalette(colors);
}

void KdPrmValueBox::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) setupColorProperties();
}

void KdPrmValueBox::valueUpdated(LPrmObserverBridge* bridge) {
    setText(QString::fromUtf8(mPrmConverter->PrmValueToString(mPrmObserver.LastValue()).CString()));
    if (!hasFocus()) home(false); // a text longer than the box shows its beginning
}

bool KdPrmValueBox::updateValueBuffers(int* values, int count) {
    LPrmManager* manager = mPrmObserver.PrmManager();
    if (!manager || count < 1) return false;
    bool changed = false;
    for (int i = 0; i < count; ++i) {
        const int value = manager->Value(mPrmObserver.PrmID() + i, 0);
        changed |= value != values[i];
        values[i] = value;
    }
    return changed;
}
