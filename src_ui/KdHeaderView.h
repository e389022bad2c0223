#pragma once

#include "CKdPrmManager.h"

#include <QFrame>
#include <QTimer>

class QLabel;

// The top of the window: the product name, the four firmware versions and the serial number of
// the open switcher, and room for a short notice about the connection.
class KdHeaderView : public QFrame {
    Q_OBJECT
public:
    explicit KdHeaderView(QWidget* parent = nullptr);

    // Shows the four versions; empty strings (or no record) show as unknown.
    void setVersion(const CKdPrmManager::_SVersionInfo* version);
    // ": --.--" for an empty version, else ": " and the version.
    static QString safeVersionString(const LString& version);
    // Shows the open switcher's serial number; empty: none is open.
    void setSerial(const QString& serial);
    // Shows text beside the versions for kNoticeMs (or until the next notice); nothing modal.
    void showNotice(const QString& text);
    static constexpr int kNoticeMs = 15000;

    QLabel* productName() const { return mProductName; }
    QLabel* versionSoft() const { return mVersionSoft; }
    QLabel* versionFPGA() const { return mVersionFPGA; }
    QLabel* versionUSB() const { return mVersionUSB; }
    QLabel* versionPHY() const { return mVersionPHY; }
    QLabel* serialNumber() const { return mSerialNumber; }
    QLabel* notice() const { return mNotice; }

private:
    // Shows text (": 01.05") in field, named for assistive technology what and text.
    static void showField(QLabel* field, const QString& what, const QString& text);

    QLabel* mProductName;
    QLabel* mVersionSoft;
    QLabel* mVersionFPGA;
    QLabel* mVersionUSB;
    QLabel* mVersionPHY;
    QLabel* mSerialNumber;
    QLabel* mNotice;
    QTimer mNoticeTimer;
};
