#pragma once

#include <QLabel>

// The maker's logo; the light-on-dark artwork while the palette is dark.
class KdLogoView : public QLabel {
    Q_OBJECT
public:
    explicit KdLogoView(QWidget* parent = nullptr);

    // The resource shown now: ":/LogoORM.svg" or ":/LogoORM_w.svg".
    QString imageName() const { return mImageName; }
    void setupLogoImage();

protected:
    void changeEvent(QEvent* event) override;

private:
    QString mImageName;
};
