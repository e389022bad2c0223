#pragma once

#include "CKdUpdater.h"
#include "CKdUsbDevice.h"
#include "LNotificationCenter.h"
#include "LObjPtr_.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>

#include <functional>
#include <memory>

class KdSettingsJob;
class KdUpdateFileSection;
class QAbstractButton;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace Ui {
class KdUpdateWindow;
}

// The firmware update window, a sheet on the main window: the user picks the main firmware
// ("bin") or the USB controller's ("cyacd") and starts its updater on a thread of its own. The
// file is checked whole first (CKdFirmwareFile): a refused file is named in the window, which
// stays open. Then a confirmation names the switcher, the file and what will happen; only its
// "Update" button starts the updater; with "Export the settings first" checked (the default) the
// settings are exported to exportPath() before, and a failed export keeps the update from
// starting. The window shows the updater's progress, can't be closed
// while it runs, closes itself at the end and asks the main window to show the result
// ("KdAlertReqNotification"). For a switcher waiting in its bootloader only the USB controller
// update is offered, and it finishes the job there.
class KdUpdateWindow : public QDialog {
    Q_OBJECT
public:
    explicit KdUpdateWindow(QWidget* parent = nullptr);
    ~KdUpdateWindow() override;

    // Opens a window for device (may be null) as a sheet on mainWindow; it deletes itself when
    // closed.
    static KdUpdateWindow* openUpdateWindow(QWidget* mainWindow, CKdUsbDevice* device);

    // Sets the device; a switcher waiting in its bootloader selects the USB controller section.
    void setUpdateDevice(CKdUsbDevice* device);
    CKdUsbDevice* updateDevice() const { return mUpdateDevice; }
    CKdUpdater* updater() const { return mUpdater; }

    void onButtonRadio(QAbstractButton* sender);
    void updateButtonsState();
    // Checks the selected section's file and asks to update; without a device or a section,
    // closes and alerts "device error.".
    void onButtonUpdate();
    // The confirmation while it is open, else null.
    QMessageBox* confirmation() const { return mConfirmation; }
    // When device is a switcher waiting in its bootloader, asks (a sheet on mainWindow) whether
    // to finish its update, and calls open on yes; whether it is one.
    static bool offerRecovery(QWidget* mainWindow, CKdUsbDevice* device,
                              const std::function<void()>& open);
    // Runs updater on its thread; the window keeps it until its end notification.
    void execUpdate(CKdUpdater* updater);

    // Where "Export the settings first" saves: a new file in kaldo-utility/backups of the
    // user's data directory (~/.local/share), named after the switcher and the time.
    QString exportPath() const;

    KdUpdateFileSection* fileSOFT() const;
    QCheckBox* exportFirstBox() const;
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
    // Asks before the first command; "Update" starts the updater for path.
    void confirmUpdate(bool usb, const QString& path, int64_t size, unsigned long rows);
    void startUpdate(bool usb, const QByteArray& path);
    // Exports the settings, then starts the update only when they are saved.
    void exportThenUpdate(bool usb, const QByteArray& path);
    void handleUpdateNotification(const LNotification& notification);
    void endUpdate(int result);
    // Closes and asks the main window to show the result's alert.
    void closeWithResult(int result);

    std::unique_ptr<Ui::KdUpdateWindow> ui;
    LObjPtr_<CKdUsbDevice> mUpdateDevice;
    LObjPtr_<CKdUpdater> mUpdater;
    int mObserverToken = 0;
    bool mInBootloader = false; // the device waits in its bootloader
    QPointer<QMessageBox> mConfirmation;
    QPointer<KdSettingsJob> mExport; // the export before the update while it runs
};
