#pragma once

#include "CKdIONotification.h"
#include "CKdRemoteControl.h"
#include "KdWakeNotification.h"
#include "LIONotificationBridge.h"
#include "LNotificationCenter.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <optional>
#include <set>
#include <vector>

class CKdPrmManager;
class KdHeaderView;
class KdMenuView;
class QPushButton;
class QScrollArea;
class QTableWidget;

namespace Ui {
class KdMainWindow;
}

// The main window: the list of attached switchers, the current device and its session, the
// header with the versions, the menu tree and the page area. A 0.1 s timer refreshes the list,
// retries opening the current device and services its session.
class KdMainWindow : public QMainWindow, public LIONotificationBridge::Target {
    Q_OBJECT
public:
    static constexpr int kTimerIntervalMs = 100;
    static constexpr int kOpenRetryCount = 30;
    static constexpr int kRowHeight = 22;
    static constexpr int kRebootCommand = 0x40;
    static constexpr int kRebootWaitMs = 1000;
    // After an operation that makes the switcher change settings the open page shows, the page
    // is read again once this much later; operations in between share the one reading.
    static constexpr int kPageRereadDelayMs = 200;
    // How long a rebooting switcher is waited for before the window lists others again.
    static constexpr int kRestartWaitMs = 30000;

    explicit KdMainWindow(QWidget* parent = nullptr);
    ~KdMainWindow() override;

    // The open session of the current device, or null.
    CKdPrmManager* prmManager() const;
    // Lists a switcher reached through a serial node opened as it is. False without a path.
    bool addManualDevice(const char* path);

    // The device table's text of a row: product name and serial number; "" outside the list.
    QString deviceRowText(int row) const;

    // Opens the companion's UDP link; without it (port taken) the window works as before. Only
    // datagrams from this user's programs count, unless anyUser. The status bar shows the port
    // and what arrives. Ports other than the fixed ones are for tests and a second utility.
    void udpListen(uint16_t eventPort = CKdUdpLink::kEventPort,
                   uint16_t replyPort = CKdUdpLink::kReplyPort, bool anyUser = false);
    QLabel* companionStatus() const { return mCompanionStatus; }
    // One companion event, executed on the current session (nothing without one).
    void receiveData(int32_t eventNum, int64_t dataNum);
    const CKdRemoteControl& remoteControl() const { return mRemoteControl; }

    void onTimer();
    void tryOpenTargetDevice();
    void reconnectDevice();
    void clearDeviceInformation();
    void updateButtonsState();
    // Opens the firmware update window for the current device.
    void actionUpdateButton();
    bool isUpdateWindowOpen() const { return !mUpdateWindow.isNull(); }

    CKdUsbDevice* currentDevice() const { return mCurDevice; }
    int openRetry() const { return mOpenRetry; }
    QTableWidget* devListView() const;
    KdHeaderView* headerView() const;
    KdMenuView* menuView() const;
    QScrollArea* prmView() const;
    QLabel* versionBox() const;
    QPushButton* updateButton() const;

    // LIONotificationBridge::Target
    void rawDeviceAdded(LIONotification* sender, const LIOService& service, void* more) override;
    void rawDeviceRemoved(LIONotification* sender, const LIOService& service, void* more) override;

private:
    void reloadDeviceTable();
    void tableViewSelectionDidChange();
    void handleAlertRequest(const LNotification& notification);
    void handleRebootRequest();
    // Says once per attachment when the current device's node exists but may not be opened.
    void checkDeviceAccess();
    // Tells in the page area what the window waits for while no menu tree is shown.
    void showConnectionNotice();
    // Reads the open page again, once, after operations that change other settings.
    void observeSideEffects();
    void rereadOpenPage();
    bool isRestarting() const { return !mRestarting.isEmpty() && !mRestartDeadline.hasExpired(); }

    std::unique_ptr<Ui::KdMainWindow> ui;
    CKdIONotification mIONotify;
    LIONotificationBridge mIONotifyBridge;
    LIOUsbDeviceList mDeviceList;
    bool mDevListUpdated = false;
    LObjPtr_<CKdUsbDevice> mCurDevice;
    bool mCurInBootloader = false; // mCurDevice waits in its bootloader
    LObjPtr_<CKdPrmManager> mPrmManager;
    int mLastSection = 0;
    int mOpenRetry = 0;
    QTimer mMainTimer;
    QTimer mPageReread;
    int32_t mChangedFirst = 0; // the identifiers changed since the last reading
    int32_t mChangedLast = -1;
    // The firmware update window while one is open; it deletes itself when closed.
    QPointer<QWidget> mUpdateWindow;
    std::vector<int> mObserverTokens;
    std::set<int64_t> mAccessNoticeShown; // attachments already told about
    QPointer<QLabel> mNotice;
    QPointer<QLabel> mCompanionStatus;
    QString mGoneSerial; // the open switcher that went away, named when another one opens
    QString mRestarting; // the switcher told to reboot, waited for until the deadline
    int64_t mRestartingSession = 0;
    QDeadlineTimer mRestartDeadline;
    std::optional<KdWakeNotification> mWakeNotification; // made once the run loop is installed
    CKdRemoteControl mRemoteControl{
        [this](int32_t eventNum, int64_t dataNum) { receiveData(eventNum, dataNum); }};
};
