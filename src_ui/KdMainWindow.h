#pragma once

#include "CKdIONotification.h"
#include "CKdRemoteControl.h"
#include "CKdUnsavedChanges.h"
#include "KdPrmExecButton.h"
#include "KdWakeNotification.h"
#include "LIONotificationBridge.h"
#include "LNotificationCenter.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <memory>
#include <optional>
#include <set>
#include <vector>

class CKdPrmManager;
class KdHeaderView;
class KdMenuView;
class QAction;
class QScrollArea;
class QTableWidget;

namespace Ui {
class KdMainWindow;
}

// The main window: the list of attached switchers, the current device and its session, the
// header with the versions, the menu tree and the page area, a menu bar and a status bar. A 0.1 s
// timer refreshes the list, retries opening the current device and services its session.
//
// The switcher's working memory is the unsaved document: every write marks it, Parameter Save
// ("Save to Switcher") clears the mark, and what would lose unsaved changes asks first. Window
// geometry, splitter and the last page of each switcher (by serial number) are remembered.
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
    static constexpr int kStatusMessageMs = 5000;
    // The execute identifiers that the Switcher menu shares with the Others page.
    static constexpr long kSystemReboot = 998;
    static constexpr long kFactoryReset = 999;
    static constexpr long kParameterSave = CKdUnsavedChanges::kParameterSave;

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

    // The menu bar's actions, by their object names ("actionSave", "actionReboot", ...).
    QAction* action(const char* name) const;
    // Whether the current switcher's serial node is left free for other programs.
    bool isDisconnected() const;
    // The open switcher's state of unsaved changes; Unknown without one.
    CKdUnsavedChanges::EState unsavedState() const;
    QLabel* unsavedIndicator() const { return mUnsavedLabel; }
    QPushButton* unsavedSaveButton() const { return mUnsavedSave; }
    QLabel* serialStatus() const { return mSerialStatus; }
    // The button that runs the Switcher menu's execute actions while it runs one (a confirmation
    // may be open on it); null otherwise.
    KdPrmExecButton* menuExecButton() const { return mMenuExec; }

    // LIONotificationBridge::Target
    void rawDeviceAdded(LIONotification* sender, const LIOService& service, void* more) override;
    void rawDeviceRemoved(LIONotification* sender, const LIOService& service, void* more) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void readSettings();
    // Remembers the open page for the switcher.
    void rememberPage();
    // The row to open for the switcher that opens now: its remembered page, else the last row.
    int pageRowFor(const QString& serial) const;
    // True when nothing unsaved would be lost by what, or the user saved or discarded it.
    bool maybeSave(const QString& what);
    void saveToSwitcher();
    // Runs the Others page's execute row of id, with its confirmation, on the open session.
    void executeRow(long id);
    // The update window, after the question about unsaved changes.
    void updateFirmware();
    void disconnectDevice();
    void connectDevice();
    // Opens the page the given number of selectable rows down (up for a negative count).
    void stepPage(int step);
    void showSecrets(bool shown);
    void openManual();
    void showKeyboardPanel();
    void showAbout();
    // Backups from the window; filled by the backup dialogs.
    void exportSettings();
    void importSettings();
    void prmWritten(long id, CKdPrmManager::EWrite what);
    void updateUnsavedIndicator();
    // Drops the open session: closes the node and forgets what the window knew of it.
    void closeSession();
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
    std::string mSessionSerial; // the open session's switcher
    CKdUnsavedChanges mUnsaved;
    std::set<QString> mDisconnected; // serials whose node is left to other programs
    QPointer<KdPrmExecButton> mMenuExec;
    QPointer<QWidget> mKeyboardPanelWindow;
    QPointer<QLabel> mSerialStatus;
    QPointer<QLabel> mUnsavedLabel;
    QPointer<QPushButton> mUnsavedSave;
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
