#pragma once

#include "CKdUpdater.h"
#include "CKdUsbDevice.h"
#include "LNotificationCenter.h"
#include "LObjPtr_.h"

#include <QDialog>

#include <memory>

class KdUpdateFileSection;
class QAbstractButton;
class QLabel;
class QProgressBar;
class QPushButton;

namespace Ui {
class KdUpdateWindow;
}

// The firmware update window, a sheet on the main window: the user picks the main firmware
// ("bin") or the USB controller's ("cyacd") and starts its updater on a thread of its own. The
// window shows the updater's progress, can't be closed while it runs, closes itself at the end
// and asks the main window to show the result ("KdAlertReqNotification").
class KdUpdateWindow : public QDialog {
    Q_OBJECT
public:
    explicit KdUpdateWindow(QWidget* parent = nullptr);
    ~KdUpdateWindow() override;

    // Opens a window for device (may be null) as a sheet on mainWindow; it deletes itself when
    // closed.
    static KdUpdateWindow* openUpdateWindow(QWidget* mainWindow, CKdUsbDevice* device);

    void setUpdateDevice(CKdUsbDevice* device) { mUpdateDevice = device; }
    CKdUsbDevice* updateDevice() const { return mUpdateDevice; }
    CKdUpdater* updater() const { return mUpdater; }

    void onButtonRadio(QAbstractButton* sender);
    void updateButtonsState();
    // Starts the update of the selected section's file; without a device or a section, closes
    // and alerts "device error.".
    void onButtonUpdate();
    // Runs updater on its thread; the window keeps it until its end notification.
    void execUpdate(CKdUpdater* updater);

    KdUpdateFileSection* fileSOFT() const;
    KdUpdateFileSection* fileUSB() const;
    QPushButton* cancelButton() const;
    QPushButton* updateButton() const;
    QProgressBar* progressBar() const;
    QLabel* progressBox() const;

public slots:
    // Closes the window unless an update runs.
    void performClose();
    // The main window tells of every removal: the window closes 0.1 s after its device left.
    void usbDeviceRemoved();

protected:
    void reject() override;

private:
    void handleUpdateNotification(const LNotification& notification);
    void endUpdate(int result);
    // Closes and asks the main window to show the result's alert.
    void closeWithResult(int result);

    std::unique_ptr<Ui::KdUpdateWindow> ui;
    LObjPtr_<CKdUsbDevice> mUpdateDevice;
    LObjPtr_<CKdUpdater> mUpdater;
    int mObserverToken = 0;
};
