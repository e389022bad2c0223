#pragma once

#include "CKdPrmManager.h"

#include <QFrame>

class QLabel;

// The top of the window: the product name and the four firmware versions of the open switcher.
class KdHeaderView : public QFrame {
    Q_OBJECT
public:
    explicit KdHeaderView(QWidget* parent = nullptr);

    // Shows the four versions; empty strings (or no record) show as unknown.
    void setVersion(const CKdPrmManager::_SVersionInfo* version);
    // ": --.--" for an empty version, else ": " and the version.
    static QString safeVersionString(const LString& version);

    QLabel* productName() const { return mProductName; }
    QLabel* versionSoft() const { return mVersionSoft; }
    QLabel* versionFPGA() const { return mVersionFPGA; }
    QLabel* versionUSB() const { return mVersionUSB; }
    QLabel* versionPHY() const { return mVersionPHY; }

private:
    QLabel* mProductName;
    QLabel* mVersionSoft;
    QLabel* mVersionFPGA;
    QLabel* mVersionUSB;
    QLabel* mVersionPHY;
};
