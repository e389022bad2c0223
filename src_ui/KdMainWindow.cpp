#include "KdMainWindow.h"

#include "CKdPrmSideEffects.h"
#include "KdAlert.h"
#include "KdCompanionStatus.h"
#include "KdHeaderView.h"
#include "KdImportDialog.h"
#include "KdKeyboardPanelWindow.h"
#include "KdMenuDataSource.h"
#include "KdMenuView.h"
#include "KdPrmExecButton.h"
#include "KdPrmRevealButton.h"
#include "KdPrmView.h"
#include "KdSettingsTransfer.h"
#include "KdUsbIdentity.h"
#include "SafeSelection.h"
#include "UiRunLoop.h"
#include "ViewScrolling.h"
#include "ui_KdMainWindow.h"
#ifdef KALDO_UI_UPDATE
#include "KdUpdateWindow.h"
#endif

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollArea>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QUrl>

#include <cerrno>
#include <limits>
#include <unistd.h>

namespace {

constexpr char kAlertRequest[] = "KdAlertReqNotification";
constexpr char kRebootRequest[] = "KdRebootReqNotification";
constexpr char kUdevRule[] = "packaging/70-kaldo.rules";
constexpr int kFocusMargin = 8;
constexpr int kFocusScrollMs = 200;

constexpr char kGeometryKey[] = "window/geometry";
constexpr char kSplitterKey[] = "window/splitter";
constexpr char kManual[] = KALDO_DOC_DIR "/window.md";

// The remembered page of a switcher; serials of nodes given by path hold slashes.
QString PageKey(const QString& serial) {
    return QStringLiteral("pages/") + QString::fromLatin1(QUrl::toPercentEncoding(serial));
}

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

    connect(ui->updateButton, &QPushButton::clicked, this, &KdMainWindow::updateFirmware);
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

    createActions();
    readSettings();
    updateButtonsState();
    showConnectionNotice();
}

KdMainWindow::~KdMainWindow() {
    mMainTimer.stop();
    for (int token : mObserverTokens)
        LNotificationCenter::Default().RemoveObserver(token);
    // The open page goes before the session it shows.
    ui->menuView->setDataSource(nullptr);
    delete mMenuExec.data();
    closeSession();
}

void KdMainWindow::createActions() {
    auto add = [this](QMenu* menu, const char* name, const QString& text, auto slot,
                      const QKeySequence& keys = {}) {
        QAction* action = menu->addAction(text, keys, this, slot);
        action->setObjectName(name);
        return action;
    };
    QMenu* file = menuBar()->addMenu(tr("&File"));
    add(file, "actionExport", tr("&Export Settings…"), &KdMainWindow::exportSettings);
    add(file, "actionImport", tr("&Import Settings…"), &KdMainWindow::importSettings);
    file->addSeparator();
    add(file, "actionQuit", tr("&Quit"), &QWidget::close, QKeySequence::Quit)
        ->setMenuRole(QAction::QuitRole);

    QMenu* switcher = menuBar()->addMenu(tr("&Switcher"));
    add(switcher, "actionSave", tr("&Save to Switcher"), &KdMainWindow::saveToSwitcher,
        QKeySequence::Save);
    switcher->addSeparator();
    add(switcher, "actionReboot", tr("&Reboot…"), [this] {
        if (maybeSave(tr("the reboot"))) executeRow(kSystemReboot);
    });
    add(switcher, "actionFactoryReset", tr("&Factory Reset…"), [this] {
        if (maybeSave(tr("the factory reset"))) executeRow(kFactoryReset);
    });
    switcher->addSeparator();
    add(switcher, "actionDisconnect", tr("&Disconnect"), &KdMainWindow::disconnectDevice);
    add(switcher, "actionConnect", tr("&Connect"), &KdMainWindow::connectDevice);
    switcher->addSeparator();
    add(switcher, "actionUpdate", tr("&Update Firmware…"), &KdMainWindow::updateFirmware);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    add(
        view, "actionNextPage", tr("&Next Page"), [this] { stepPage(1); },
        QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    add(
        view, "actionPreviousPage", tr("&Previous Page"), [this] { stepPage(-1); },
        QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    view->addSeparator();
    QAction* secrets =
        add(view, "actionShowSecrets", tr("Show &Secrets"), &KdMainWindow::showSecrets);
    secrets->setCheckable(true);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    // No F1: it is a panel key (preset 1 on ROI [2]).
    add(help, "actionManual", tr("&Manual"), &KdMainWindow::openManual);
    add(help, "actionKeyboardPanel", tr("&Keyboard Panel"), &KdMainWindow::showKeyboardPanel);
    add(help, "actionAbout", tr("&About KALDO-1 Utility"), &KdMainWindow::showAbout)
        ->setMenuRole(QAction::AboutRole);

    // The status bar: messages on the left; the open switcher and its unsaved changes on the
    // right, before the companion's status.
    mSerialStatus = new QLabel;
    mSerialStatus->setObjectName("serialStatus");
    mUnsavedLabel = new QLabel;
    mUnsavedLabel->setObjectName("unsavedIndicator");
    mUnsavedSave = new QPushButton(tr("Save"));
    mUnsavedSave->setObjectName("unsavedSave");
    mUnsavedSave->setToolTip(tr("Parameter Save: the switcher keeps its settings after a restart"));
    connect(mUnsavedSave, &QPushButton::clicked, this, &KdMainWindow::saveToSwitcher);
    statusBar()->addPermanentWidget(mUnsavedLabel);
    statusBar()->addPermanentWidget(mUnsavedSave);
    statusBar()->addPermanentWidget(mSerialStatus);
    updateUnsavedIndicator();
}

QAction* KdMainWindow::action(const char* name) const {
    return findChild<QAction*>(QString::fromLatin1(name));
}

void KdMainWindow::readSettings() {
    QSettings settings;
    restoreGeometry(settings.value(kGeometryKey).toByteArray());
    ui->splitter->restoreState(settings.value(kSplitterKey).toByteArray());
}

void KdMainWindow::closeEvent(QCloseEvent* event) {
    if (!maybeSave(tr("quitting"))) {
        event->ignore();
        return;
    }
    QSettings settings;
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kSplitterKey, ui->splitter->saveState());
    QMainWindow::closeEvent(event);
}

void KdMainWindow::rememberPage() {
    const QModelIndex index = ui->menuView->indexAtRow(ui->menuView->selectedRow());
    const KdMenuDataSource* source = ui->menuView->dataSource();
    const KdMenuDataSource::_SItem* item = source ? source->ItemAt(index) : nullptr;
    if (!item || !item->mPage || mSessionSerial.empty()) return;
    QSettings().setValue(PageKey(QString::fromStdString(mSessionSerial)),
                         QString::fromUtf8(item->mPage->mClassName));
}

int KdMainWindow::pageRowFor(const QString& serial) const {
    // The settings file is the user's to edit: an unknown name is no page.
    const QByteArray name = QSettings().value(PageKey(serial)).toString().toUtf8();
    const CKdPageCatalogue::_SPage* page =
        name.isEmpty() ? nullptr : CKdPageCatalogue::FindPage(name.constData());
    const KdMenuView* menu = ui->menuView;
    for (int row = 0; page && menu->dataSource() && row < menu->numberOfRows(); ++row) {
        const KdMenuDataSource::_SItem* item = menu->dataSource()->ItemAt(menu->indexAtRow(row));
        if (item && item->mPage == page) return row;
    }
    return mLastSection;
}

bool KdMainWindow::isDisconnected() const {
    return mCurDevice && mDisconnected.count(SerialText(mCurDevice));
}

CKdUnsavedChanges::EState KdMainWindow::unsavedState() const {
    return mPrmManager ? mUnsaved.State(mSessionSerial) : CKdUnsavedChanges::EState::Unknown;
}

bool KdMainWindow::maybeSave(const QString& what) {
    if (unsavedState() != CKdUnsavedChanges::EState::Unsaved) return true;
    QMessageBox box(QMessageBox::Warning, windowTitle(),
                    tr("%1 has changes that are not saved.").arg(DeviceText(mCurDevice)),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setObjectName("unsavedWarning");
    box.setInformativeText(
        tr("Save them to the switcher first? Without a save they are lost by %1.").arg(what));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        saveToSwitcher();
        return true;
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void KdMainWindow::saveToSwitcher() {
    executeRow(kParameterSave);
}

void KdMainWindow::executeRow(long id) {
    const CKdPageCatalogue::_SRow* row = CKdPageCatalogue::RowForPrm(id);
    if (!mPrmManager || !row) return;
    delete mMenuExec.data(); // a confirmation still open goes with its button
    // The Others page's own button, unseen: the same confirmation and the same packets.
    mMenuExec = new KdPrmExecButton(0, this);
    mMenuExec->hide();
    mMenuExec->setPrmId(id, mPrmManager);
    mMenuExec->setRow(*row);
    auto* page = qobject_cast<KdPrmView*>(ui->prmView->widget());
    mMenuExec->setRequestPrmTable(page ? page->requestPrmTable() : nullptr);
    mMenuExec->click();
}

void KdMainWindow::updateFirmware() {
    if (maybeSave(tr("the firmware update"))) actionUpdateButton();
}

void KdMainWindow::disconnectDevice() {
    if (!mCurDevice || isDisconnected() || !maybeSave(tr("the disconnection"))) return;
    mDisconnected.insert(SerialText(mCurDevice));
    closeSession();
    clearDeviceInformation();
    reloadDeviceTable();
}

void KdMainWindow::connectDevice() {
    if (!mCurDevice || !mDisconnected.erase(SerialText(mCurDevice))) return;
    mOpenRetry = kOpenRetryCount;
    reloadDeviceTable();
    tryOpenTargetDevice();
}

void KdMainWindow::stepPage(int step) {
    KdMenuView* menu = ui->menuView;
    if (!menu->dataSource()) return;
    for (int row = menu->selectedRow() + step; row >= 0 && row < menu->numberOfRows(); row += step)
        if (menu->selectRowInSafety(row)) return;
}

void KdMainWindow::showSecrets(bool shown) {
    if (QWidget* page = ui->prmView->widget())
        for (KdPrmRevealButton* button : page->findChildren<KdPrmRevealButton*>())
            button->setChecked(shown);
}

void KdMainWindow::openManual() {
    const QString path = QString::fromUtf8(kManual);
    if (QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return;
    QMessageBox::information(this, windowTitle(),
                             tr("The manual is installed as %1; it could not be opened.\n\nIt "
                                "comes with the kaldo-utility package, and as docs/window.md in "
                                "the source tree.")
                                 .arg(path));
}

void KdMainWindow::showKeyboardPanel() {
    if (!mKeyboardPanelWindow) {
        mKeyboardPanelWindow = new KdKeyboardPanelWindow(this);
        mKeyboardPanelWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    mKeyboardPanelWindow->show();
    mKeyboardPanelWindow->raise();
}

void KdMainWindow::showAbout() {
    const KdHeaderView* header = ui->headerView;
    QMessageBox::about(
        this, tr("About KALDO-1 Utility"),
        tr("<h3>KALDO-1 Utility %1</h3>"
           "<p>Settings, remote control and firmware update of KALDO-1 video switchers.</p>"
           "<p>Open switcher%2<br>Software %3<br>FPGA %4<br>USB %5<br>PHY %6</p>"
           "<p>Released under the MIT License.</p>")
            .arg(KALDO_VERSION, header->serialNumber()->text(), header->versionSoft()->text(),
                 header->versionFPGA()->text(), header->versionUSB()->text(),
                 header->versionPHY()->text()));
}

void KdMainWindow::exportSettings() {
    if (mCurDevice) KdSettingsTransfer::exportSettings(this, mCurDevice);
}

void KdMainWindow::importSettings() {
    KdImportDialog* dialog =
        mCurDevice ? KdSettingsTransfer::importSettings(this, mCurDevice) : nullptr;
    if (!dialog) return;
    connect(dialog, &KdImportDialog::imported, this, [this] {
        // The import wrote over the lent link, past the session's write observer.
        mUnsaved.Wrote(mSessionSerial, 0, CKdPrmManager::EWrite::Sent);
        updateUnsavedIndicator();
        mChangedFirst = 0;
        mChangedLast = std::numeric_limits<int32_t>::max();
        rereadOpenPage();
    });
}

void KdMainWindow::prmWritten(long id, CKdPrmManager::EWrite what) {
    mUnsaved.Wrote(mSessionSerial, id, what);
    updateUnsavedIndicator();
    const char* label = CKdPrmManager::PrmLabel(id);
    const QString name = label ? QString::fromUtf8(label) : tr("Parameter %1").arg(id);
    if (what == CKdPrmManager::EWrite::Refused)
        statusBar()->showMessage(tr("The switcher refused %1 and keeps its own value.").arg(name),
                                 kStatusMessageMs);
    if (what != CKdPrmManager::EWrite::Accepted) return;
    const CKdPageCatalogue::_SRow* row = CKdPageCatalogue::RowForPrm(id);
    const bool command = row && row->mWidget == CKdPageCatalogue::EWidget::Exec;
    statusBar()->showMessage(
        id == kParameterSave ? tr("Saved to the switcher: the settings stay after a restart.")
        : command            ? tr("%1: done by the switcher.").arg(name)
                             : tr("%1: saved to the switcher's working memory.").arg(name),
        kStatusMessageMs);
}

void KdMainWindow::updateUnsavedIndicator() {
    if (!mUnsavedLabel) return;
    using S = CKdUnsavedChanges::EState;
    const S state = unsavedState();
    mUnsavedLabel->setVisible(mPrmManager);
    mUnsavedLabel->setText(state == S::Saved     ? tr("No unsaved changes")
                           : state == S::Unsaved ? tr("Unsaved changes")
                                                 : tr("May have unsaved changes"));
    mUnsavedLabel->setToolTip(
        state == S::Unknown
            ? tr("Other programs may have changed or saved the settings while the utility did "
                 "not hold the switcher.")
            : QString());
    mUnsavedSave->setVisible(mPrmManager && state != S::Saved);
    mSerialStatus->setText(mPrmManager ? tr("Serial %1").arg(QString::fromStdString(mSessionSerial))
                                       : QString());
}

void KdMainWindow::closeSession() {
    if (mPrmManager) mPrmManager->SetWriteObserver({});
    mUnsaved.Forget(mSessionSerial);
    mSessionSerial.clear();
    if (mCurDevice) mCurDevice->CloseDevice();
    mPrmManager = nullptr;
    updateUnsavedIndicator();
}

CKdPrmManager* KdMainWindow::prmManager() const {
    return mPrmManager;
}

bool KdMainWindow::addManualDevice(const char* path) {
    return mIONotify.AddManualDevice(path) != 0;
}

QString KdMainWindow::deviceRowText(int row) const {
    const LIOUsbDevice* device = mDeviceList.ObjectAtIndex(row);
    if (!device) return {};
    return mDisconnected.count(SerialText(device)) ? tr("%1 (disconnected)").arg(DeviceText(device))
                                                   : DeviceText(device);
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
    closeSession();
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
        if (ui->menuView->selectedRow() >= 0) mLastSection = ui->menuView->selectedRow();
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
    if (!mCurDevice || mPrmManager || isDisconnected()) return;
    if (CKdPrmManager* session = mCurDevice->PrmManager()) {
        mPrmManager = session;
        mSessionSerial = SerialText(mCurDevice).toStdString();
        session->SetWriteObserver(
            [this](long id, CKdPrmManager::EWrite what) { prmWritten(id, what); });
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
        menu->selectAnyRowWithDefault(pageRowFor(serial));
        connect(menu->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            rememberPage();
            showSecrets(action("actionShowSecrets")->isChecked());
        });
        showSecrets(action("actionShowSecrets")->isChecked());
    } else {
        checkDeviceAccess();
        if (mOpenRetry > 0 && --mOpenRetry == 0) clearDeviceInformation();
    }
    updateButtonsState();
    showConnectionNotice();
}

void KdMainWindow::reconnectDevice() {
    if (!mCurDevice) return;
    closeSession();
    clearDeviceInformation();
}

void KdMainWindow::clearDeviceInformation() {
    // The page stays for the next session (a reconnect, a reboot, a wake).
    if (ui->menuView->selectedRow() >= 0) mLastSection = ui->menuView->selectedRow();
    ui->menuView->setDataSource(nullptr);
    updateButtonsState();
    ui->headerView->setVersion(nullptr);
    ui->headerView->setSerial({});
    showConnectionNotice();
}

void KdMainWindow::updateButtonsState() {
    // DeviceStream() opens the node: not while it is left to other programs.
    const bool canUpdate =
        mCurDevice && !isDisconnected() && (mCurInBootloader || mCurDevice->DeviceStream());
    ui->updateButton->setEnabled(canUpdate);
    if (!action("actionSave")) return; // the actions are being made
    const bool session = mPrmManager;
    for (const char* name : {"actionExport", "actionImport", "actionSave", "actionReboot",
                             "actionFactoryReset", "actionDisconnect"})
        action(name)->setEnabled(session);
    action("actionConnect")->setEnabled(isDisconnected());
    action("actionUpdate")->setEnabled(canUpdate);
    for (const char* name : {"actionNextPage", "actionPreviousPage"})
        action(name)->setEnabled(ui->menuView->dataSource());
    updateUnsavedIndicator();
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
    closeSession();
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
    } else if (isDisconnected()) {
        text = tr("%1 is disconnected: its serial node is free for other programs.\n\nUse "
                  "Switcher › Connect to open it again.")
                   .arg(DeviceText(mCurDevice));
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
