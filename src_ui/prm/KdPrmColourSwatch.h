#pragma once

#include "KdPrmGroupObserver.h"

#include <QColor>
#include <QPointer>
#include <QPushButton>

class LPrmManager;
class QColorDialog;

// A swatch of the colour that three parameters (red, green, blue) hold, painted beside the
// button's text. Clicking it opens a colour chooser; the chosen colour is written as the three
// parameters, each scaled from 0..255 onto its own range.
class KdPrmColourSwatch : public QPushButton {
    Q_OBJECT

public:
    explicit KdPrmColourSwatch(QWidget* parent = nullptr);

    // Binds to red, green and blue from firstId on; title names the chooser.
    void setPrmId(long firstId, LPrmManager* manager, const QString& title);
    // The colour the parameters hold, scaled to 0..255.
    QColor colour() const;
    // The chooser while it is open.
    QColorDialog* dialog() const;

    QSize sizeHint() const override;

signals:
    // A part the switcher refused.
    void entryMessage(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void chooseColour();
    void write(const QColor& colour);
    void showColour();

    KdPrmGroupObserver mGroup;
    QString mTitle;
    QPointer<QColorDialog> mDialog;
};
