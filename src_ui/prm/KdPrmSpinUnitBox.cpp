#include "KdPrmSpinUnitBox.h"

#include "LPrmConverter.h"

KdPrmSpinUnitBox::KdPrmSpinUnitBox(const QString& text, int width, const LPrmConverter* converter)
    : QLabel(text), mConverter(converter) {
    setWordWrap(false);
    setTextInteractionFlags(Qt::NoTextInteraction);
    adjustSize();
    resize(width, height());
}

KdPrmSpinUnitBox* KdPrmSpinUnitBox::unitBoxWithUnit(const char* unit) {
    auto* box = new KdPrmSpinUnitBox(QString::fromUtf8(unit), 60, nullptr);
    box->mUnit = QByteArray(unit ? unit : "");
    return box;
}

KdPrmSpinUnitBox* KdPrmSpinUnitBox::unitBoxWithConverter(const LPrmConverter* converter) {
    return new KdPrmSpinUnitBox(QStringLiteral(" "), 65, converter);
}

void KdPrmSpinUnitBox::setPrmValue(int value) {
    if (!mConverter) return;
    mPrmValue = value;
    setText(QString::fromUtf8(mConverter->PrmValueToString(value).CString()));
}
