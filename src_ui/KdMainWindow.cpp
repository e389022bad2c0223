#include "KdMainWindow.h"

#include "CKdPrmSideEffects.h"
#include "KdAlert.h"
#include "KdCompanionStatus.h"
#include "KdHeaderView.h"
#include "KdMenuDataSource.h"
#include "KdMenuView.h"
#include "KdPrmView.h"
#include "KdUsbIdentity.h"
#include "SafeSelection.h"
#include "UiRunLoop.h"
#include "ViewScrolling.h"
#include "ui_KdMainWindow.h"
#ifdef KALDO_UI_UPDATE
#include "KdUpdateWindow.h"
#endif

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollArea>
#include <QStatusBar>
#include <QTableWidget>

#include <cerrno>
#include <unistd.h>

namespace {

constexpr char kAlertRequest[] = "KdAlertReqNotification";
constexpr char kRebootRequest[] = "KdRebootReqNotification";
constexpr char kUdevRule[] = "packaging/70-kaldo.rules";
constexpr int kFocusMargin = 8;
constexpr int kFocusScrollMs = 200;

constexpr uint64_t kSwitcherVendorProduct = uint64_t(kKdUsbVendorID) << 32 | kKdUsbProductID;

// The serial number, or the path of a serial node given by path.
QString SerialText(const LIOUsbDevice* device) {
    return QString::fromUtf8(device->mInfo.serialNumber.CString());
}

// "Product (serial)"; a serial node given by path carries no product name of its own.
QString DeviceText(const LIOUsbDevice* device) {
    const LString& name = device->mInfo.productName;
    return QStringLiteral("%1 (%2)").arg(name.Length() ? QString::fromUtf8(name.CString())
                                                       : QStringLiteral("KALDO-1"),
                                         SerialText(device));
}

} // namespace

KdMainWindow::KdMainWindow(QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::KdMainWindow>()) {
    UiRunLoop::InstallMain();
    mWakeNotification.emplace([this] { reconnectDevice(); });
    ui->setupUi(this);

    QTableWidget* table = ui->devListView;
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    table->setMaximumHeight(4 * kRowHeight + 2 * table->frameWidth());
    connect(table, &QTableWidget::itemSelectionChanged, this,
            &KdMainWindow::tableViewSelectionDidChange);
    ui->menuView->setMainView(this);
    ui->menuView->setPrmView(ui->prmView);
    ui->splitter->setStretchFactor(1, 1);
    ui->splitter->setSizes({260, 700});

    connect(ui->updateButton, &QPushButton::clicked, this, &KdMainWindow::actionUpdateButton);
    ui->versionBox->setText(QStringLiteral("Version :  %1").arg(KALDO_VERSION));

    mMainTimer.setInterval(kTimerIntervalMs);
    connect(&mMainTimer, &QTimer::timeout, this, &KdMainWindow::onTimer);
    mMainTimer.start();

    mIONotifyBridge.SetTarget(this);
    mIONotify.SetDelegate(&mIONotifyBridge);
    mIONotify.StartNotification();

    LNotificationCenter& center = LNotificationCenter::Default();
    mObserverTokens.push_back(center.AddObserver(
        kAlertRequest, [this](const LNotification& note) { handleAlertRequest(note); }));
    mObserverTokens.push_back(center.AddObserver(
        kRebootRequest, [this](const LNotification&) { handleRebootRequest(); }));
    observeSideEffects();

    // A text field that takes the focus on a page is scrolled into sight.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (qobject_cast<QLineEdit*>(now) && ui->prmView->isAncestorOf(now))
            ViewScrolling::scrollToView(ui->prmView, now, kFocusMargin, kFocusScrollMs);
    });

    updateButtonsState();
    showConnectionNotice();
}

KdMainWindow::~KdMainWindow() {
    mMainTimer.stop();
    for (int token : mObserverTokens)
        LNotificationCenter::Default().RemoveObserver(token);
    // The open page goes before the session it shows.
    ui->menuView->setDataSource(nullptr);
    if (mCurDevice) mCurDevice->CloseDevice();
}

CKdPrmManager* KdMainWindow::prmManager() const {
    return mPrmManager;
}

bool KdMainWindow::addManualDevice(const char* path) {
    return mIONotify.AddManualDevice(path) != 0;
}

QString KdMainWindow::deviceRowText(int row) const {
    const LIOUsbDevice* device = mDeviceList.ObjectAtIndex(row);
    return device ? DeviceText(device) : QString();
}

void KdMainWindow::rawDeviceAdded(LIONotification*, const LIOService&, void*) {
    mDevListUpdated = true;
}

void KdMainWindow::rawDeviceRemoved(LIONotification*, const LIOService&, void*) {
    mDevListUpdated = true;
    if (mUpdateWindow) QMetaObject::invokeMethod(mUpdateWindow, "usbDeviceRemoved");
}

void KdMainWindow::udpListen(uint16_t eventPort, uint16_t replyPort, bool anyUser) {
    LRunLoop* loop = LRunLoop::Main();
    if (!loop || mCompanionStatus) return;
    auto* status = new KdCompanionStatus;
    mCompanionStatus = status;
    statusBar()->addPermanentWidget(status);
    const bool listening = mRemoteControl.Listen(*loop, eventPort, replyPort, anyUser);
    const CKdUdpLink* link = mRemoteControl.Link();
    status->showListening(listening ? link->EventPort() : eventPort, replyPort, listening, anyUser);
    mRemoteControl.SetActivityHandler(
        [status](const CKdRemoteControl::_SActivity& activity) { status->showActivity(activity); });
}

void KdMainWindow::receiveData(int32_t eventNum, int64_t dataNum) {
    mRemoteControl.ReceiveData(mPrmManager, eventNum, dataNum);
}

void KdMainWindow::onTimer() {
    if (!mRestarting.isEmpty() && !isRestarting()) {
        mRestarting.clear();
        showConnectionNotice();
    }
    if (mDevListUpdated && !isUpdateWindowOpen()) {
        mDevListUpdated = false;
        reloadDeviceTable();
    }
    if (mCurDevice && !mPrmManager && !isUpdateWindowOpen()) tryOpenTargetDevice();
    if (mPrmManager) mPrmManager->Service();
}

void KdMainWindow::reloadDeviceTable() {
    QTableWidget* table = ui->devListView;
    const bool wasEmpty = mDeviceList.Count() == 0;
    mDeviceList = mIONotify;
    {
        // The rows are rebuilt quietly; the selection below decides the current device.
        const QSignalBlocker blocker(table);
        table->clearSelection();
        table->setRowCount(mDeviceList.Count());
        for (int row = 0; row < mDeviceList.Count(); ++row) {
            auto* item = new QTableWidgetItem(deviceRowText(row));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            table->setItem(row, 0, item);
        }
    }
    if (mCurDevice && !mCurDevice->mRemoved) {
        for (int row = 0; row < mDeviceList.Count(); ++row)
            if (mDeviceList.ObjectAtIndex(row) == mCurDevice.Get())
                SafeSelection::SelectAnyRowWithDefault(table, row);
    } else if (isRestarting()) {
        // A rebooting switcher is waited for, not replaced by another one.
        for (int row = 0; row < mDeviceList.Count(); ++row)
            if (deviceRowText(row) == mRestarting)
                SafeSelection::SelectAnyRowWithDefault(table, row);
    } else if (mCurDevice || wasEmpty) {
        // The current device went away, or a switcher appeared in an empty list: the first row
        // opens without a click.
        SafeSelection::SelectAnyRowWithDefault(table, 0);
    }
    // The rows were rebuilt without telling: let the selection change the current device.
    tableViewSelectionDidChange();
    showConnectionNotice();
}

void KdMainWindow::tableViewSelectionDidChange() {
    const QList<QTableWidgetItem*> selected = ui->devListView->selectedItems();
    CKdUsbDevice* device =
        selected.isEmpty()
            ? nullptr
            : dynamic_cast<CKdUsbDevice*>(mDeviceList.ObjectAtIndex(selected.first()->row()));
    if (device == mCurDevice.Get()) {
        updateButtonsState();
        return;
    }
    if (!mCurDevice || !mCurDevice->mRemoved)
        mGoneSerial.clear(); // a choice in the list is no news
    else if (!isRestarting())
        mGoneSerial = SerialText(mCurDevice);
    if (mCurDevice) mCurDevice->CloseDevice();
    mPrmManager = nullptr;
    mCurDevice = device;
    mCurInBootloader = false;
#ifdef KALDO_UI_UPDATE
    // A switcher left in its bootloader by an update that did not finish: offer to finish it.
    mCurInBootloader = !isUpdateWindowOpen() && KdUpdateWindow::offerRecovery(
                                                    this, device, [this] { actionUpdateButton(); });
#endif
    ui->headerView->setVersion(nullptr);
    ui->headerView->setSerial({});
    if (device) {
        mLastSection = ui->menuView->selectedRow();
        ui->menuView->clearSelection();
        mOpenRetry = kOpenRetryCount;
        tryOpenTargetDevice();
    } else {
        clearDeviceInformation();
    }
    updateButtonsState();
    showConnectionNotice();
}

void KdMainWindow::tryOpenTargetDevice() {
    if (!mCurDevice || mPrmManager) return;
    if (CKdPrmManager* session = mCurDevice->PrmManager()) {
        mPrmManager = session;
        const CKdPrmManager::_SVersionInfo version = session->VersionInfo();
        ui->headerView->setVersion(&version);
        const QString serial = SerialText(mCurDevice);
        ui->headerView->setSerial(serial);
        if (!mGoneSerial.isEmpty() && mGoneSerial != serial)
            ui->headerView->showNotice(tr("%1 went away.\nNow open: %2").arg(mGoneSerial, serial));
        mGoneSerial.clear();
        // The rebooted attachment may answer once more before it leaves.
        if (mCurDevice->mSessionID != mRestartingSession) mRestarting.clear();
        KdMenuView* menu = ui->menuView;
        menu->setDataSource(
            mCurDevice->VendorProduct() == kSwitcherVendorProduct ? new KdMenuDataSource : nullptr);
        menu->expandAll();
        menu->selectAnyRowWithDefault(mLastSection);
    } else {
        checkDeviceAccess();
        if (mOpenRetry > 0 && --mOpenRetry == 0) clearDeviceInformation();
    }
    updateButtonsState();
    showConnectionNotice();
}

void KdMainWindow::reconnectDevice() {
    if (!mCurDevice) return;
    mCurDevice->CloseDevice();
    mPrmManager = nullptr;
    clearDeviceInformation();
}

void KdMainWindow::clearDeviceInformation() {
    mLastSection = 0;
    ui->menuView->setDataSource(nullptr);
    updateButtonsState();
    ui->headerView->setVersion(nullptr);
    ui->headerView->setSerial({});
    showConnectionNotice();
}

void KdMainWindow::updateButtonsState() {
    ui->updateButton->setEnabled(mCurDevice && (mCurInBootloader || mCurDevice->DeviceStream()));
}

void KdMainWindow::actionUpdateButton() {
#ifdef KALDO_UI_UPDATE
    if (mCurDevice && !isUpdateWindowOpen())
        mUpdateWindow = KdUpdateWindow::openUpdateWindow(this, mCurDevice);
#endif
}

void KdMainWindow::handleAlertRequest(const LNotification& notification) {
    auto* alert = dynamic_cast<KdAlert*>(notification.object.Get());
    if (!alert) return;
    auto* box = new QMessageBox(alert->mIcon, windowTitle(), alert->mText, QMessageBox::Ok, this);
    box->setInformativeText(alert->mInformativeText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

void KdMainWindow::handleRebootRequest() {
    if (!mCurDevice || !mPrmManager) return;
    mPrmManager->SendCmdPacket(mPrmManager->MakeCmdPacket(kRebootCommand), kRebootWaitMs);
    mRestarting = DeviceText(mCurDevice);
    mRestartingSession = mCurDevice->mSessionID;
    mRestartDeadline.setRemainingTime(kRestartWaitMs);
    mCurDevice->CloseDevice();
    mPrmManager = nullptr;
    clearDeviceInformation();
}

void KdMainWindow::observeSideEffects() {
    mPageReread.setSingleShot(true);
    mPageReread.setInterval(kPageRereadDelayMs);
    connect(&mPageReread, &QTimer::timeout, this, &KdMainWindow::rereadOpenPage);
    mObserverTokens.push_back(LNotificationCenter::Default().AddObserver(
        CKdPrmSideEffects::kNotification, [this](const LNotification& notification) {
            const auto* changed =
                dynamic_cast<const CKdPrmSideEffects::_SChanged*>(notification.object.Get());
            if (!changed || !mPrmManager || notification.sender != mPrmManager.Get()) return;
            const bool pending = mChangedFirst <= mChangedLast;
            mChangedFirst = pending ? std::min(mChangedFirst, changed->mFirst) : changed->mFirst;
            mChangedLast = pending ? std::max(mChangedLast, changed->mLast) : changed->mLast;
            if (!mPageReread.isActive()) mPageReread.start();
        }));
}

void KdMainWindow::rereadOpenPage() {
    const int32_t first = mChangedFirst, last = mChangedLast;
    mChangedFirst = 0;
    mChangedLast = -1;
    auto* page = qobject_cast<KdPrmView*>(ui->prmView->widget());
    if (page && mPrmManager && page->prmManager() == mPrmManager.Get() &&
        CKdPrmSideEffects::Reads(page->requestPrmTable(), first, last))
        page->requestParameters();
}

void KdMainWindow::checkDeviceAccess() {
    const LString path = mCurDevice->BsdPath();
    if (!path.Length() || access(path.CString(), R_OK | W_OK) == 0 || errno != EACCES) return;
    if (!mAccessNoticeShown.insert(mCurDevice->mSessionID).second) return;
    const QString node = QString::fromUtf8(path.CString());
    auto* alert = new KdAlert(
        QMessageBox::Warning, tr("You may not open the switcher's serial port %1.").arg(node),
        tr("Install the udev rule that gives the logged-in user access to the KALDO-1 (%1 in "
           "the source tree, installed by cmake --install) and reload the rules:\n\n"
           "sudo udevadm control --reload-rules\nsudo udevadm trigger\n\n"
           "Then unplug the switcher and plug it in again.")
            .arg(kUdevRule));
    LNotificationCenter::Default().Post(kAlertRequest, this, alert);
    LObject::ReleaseObject(alert);
}

void KdMainWindow::showConnectionNotice() {
    if (ui->menuView->dataSource()) return;
    QString text;
    if (isRestarting()) {
        text =
            tr("%1 is restarting…\n\nIt opens again by itself once it is back.").arg(mRestarting);
    } else if (!mCurDevice) {
        text = mDeviceList.Count() == 0
                   ? tr("No KALDO-1 is connected.\n\nConnect the switcher by USB, or start the "
                        "virtual switcher kaldo-sim.")
                   : tr("Select a switcher in the list.");
    } else {
        const QString name = DeviceText(mCurDevice);
        const LString path = mCurDevice->BsdPath();
        if (mAccessNoticeShown.count(mCurDevice->mSessionID))
            text = tr("%1: no permission to open %2.\n\nInstall the udev rule %3 and reload "
                      "the rules.")
                       .arg(name, QString::fromUtf8(path.CString()), kUdevRule);
        else if (mCurInBootloader)
            text = tr("%1 is waiting in its bootloader: an update of its USB controller did not "
                      "finish.\n\nUse Update to finish it with the USB controller firmware.")
                       .arg(name);
        else if (path.Length() && access(path.CString(), F_OK) != 0)
            text = tr("%1: the serial node %2 does not exist.\n\nCheck the path, or the cable "
                      "of the switcher.")
                       .arg(name, QString::fromUtf8(path.CString()));
        else if (mOpenRetry > 0)
            text = tr("Connecting to %1…").arg(name);
        else
            text = tr("%1 does not answer.\n\nCheck that it is switched on and connected; the "
                      "utility keeps trying.")
                       .arg(name);
    }
    if (mNotice && ui->prmView->widget() == mNotice) {
        if (mNotice->text() != text) mNotice->setText(text);
        return;
    }
    mNotice = new QLabel(text);
    mNotice->setObjectName("connectionNotice");
    mNotice->setAlignment(Qt::AlignCenter);
    mNotice->setWordWrap(true);
    mNotice->setForegroundRole(QPalette::PlaceholderText);
    ui->prmView->setWidget(mNotice);
}

QTableWidget* KdMainWindow::devListView() const {
    return ui->devListView;
}
KdHeaderView* KdMainWindow::headerView() const {
    return ui->headerView;
}
KdMenuView* KdMainWindow::menuView() const {
    return ui->menuView;
}
QScrollArea* KdMainWindow::prmView() const {
    return ui->prmView;
}
QLabel* KdMainWindow::versionBox() const {
    return ui->versionBox;
}
QPushButton* KdMainWindow::updateButton() const {
    return ui->updateButton;
}
