#pragma once

#include <QLabel>

class LPrmConverter;

// The text right of a spin box: a fixed unit ("pix", "sec"), or the spin box's value shown
// through a second converter (an audio level in dB).
class KdPrmSpinUnitBox : public QLabel {
    Q_OBJECT

public:
    static KdPrmSpinUnitBox* unitBoxWithUnit(const char* unit);
    static KdPrmSpinUnitBox* unitBoxWithConverter(const LPrmConverter* converter);

    // Shows value through the converter; a fixed unit ignores it.
    void setPrmValue(int value);
    int prmValue() const { return mPrmValue; }
    // The fixed unit (null for a converter's box) and the converter (null for a fixed unit).
    const char* unit() const { return mUnit.isNull() ? nullptr : mUnit.constData(); }
    const LPrmConverter* converter() const { return mConverter; }

private:
    KdPrmSpinUnitBox(const QString& text, int width, const LPrmConverter* converter);

    QByteArray mUnit;
    const LPrmConverter* mConverter;
    int mPrmValue = 0;
};
