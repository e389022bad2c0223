#include "KdUpdateWindow.h"

#include "CKdFirmwareFile.h"
#include "CKdUpdaterFPGA.h"
#include "CKdUpdaterUSB.h"
#include "KdAlert.h"
#include "KdSettingsJob.h"
#include "KdSettingsTransfer.h"
#include "KdUpdateFileSection.h"
#include "KdUpdateInformation.h"
#include "ui_KdUpdateWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>

namespace {
constexpr char kAlertRequest[] = "KdAlertReqNotification";
constexpr int kRemovalCloseDelayMs = 100;
constexpr int kProgressMax = 1000;
} // namespace

KdUpdateWindow::KdUpdateWindow(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::KdUpdateWindow>()) {
    ui->setupUi(this);
    ui->fileSOFT->setFileExt(QStringLiteral("bin"));
    ui->fileSOFT->radioButton()->setText(tr("Main firmware (.bin)"));
    ui->fileUSB->setFileExt(QStringLiteral("cyacd"));
    ui->fileUSB->radioButton()->setText(tr("USB controller firmware (.cyacd)"));
    for (KdUpdateFileSection* section : {ui->fileSOFT, ui->fileUSB}) {
        connect(section->radioButton(), &QRadioButton::clicked, this,
                [this, section] { onButtonRadio(section->radioButton()); });
        connect(section, &KdUpdateFileSection::filePathChanged, this,
                &KdUpdateWindow::updateButtonsState);
        connect(section, &KdUpdateFileSection::fileDropped, this,
                [this, section] { onButtonRadio(section->radioButton()); });
    }
    connect(ui->cancelButton, &QPushButton::clicked, this, &KdUpdateWindow::performClose);
    connect(ui->updateButton, &QPushButton::clicked, this, &KdUpdateWindow::onButtonUpdate);
    mObserverToken = LNotificationCenter::Default().AddObserver(
        CKdUpdater::kNotificationName,
        [this](const LNotification& notification) { handleUpdateNotification(notification); });
    onButtonRadio(ui->fileSOFT->radioButton());
    ui->progressBar->setRange(0, kProgressMax); // still until an update runs
    ui->progressBar->setValue(0);
}

KdUpdateWindow::~KdUpdateWindow() {
    LNotificationCenter::Default().RemoveObserver(mObserverToken);
}

KdUpdateWindow* KdUpdateWindow::openUpdateWindow(QWidget* mainWindow, CKdUsbDevice* device) {
    auto* window = new KdUpdateWindow(mainWindow);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setUpdateDevice(device);
    window->open(); // window-modal: a sheet on the main window
    return window;
}

void KdUpdateWindow::setUpdateDevice(CKdUsbDevice* device) {
    mUpdateDevice = device;
    mInBootloader = CKdUpdaterUSB::IsInBootloader(device);
    // A switcher in its bootloader has no settings to read.
    ui->exportFirst->setVisible(!mInBootloader);
    if (mInBootloader) onButtonRadio(ui->fileUSB->radioButton());
}

bool KdUpdateWindow::offerRecovery(QWidget* mainWindow, CKdUsbDevice* device,
                                   const std::function<void()>& open) {
    if (!CKdUpdaterUSB::IsInBootloader(device)) return false;
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Firmware Update"),
                                tr("%1 is waiting in its bootloader.")
                                    .arg(QString::fromUtf8(device->mInfo.serialNumber.CString())),
                                QMessageBox::NoButton, mainWindow);
    box->setInformativeText(tr("An update of its USB controller did not finish. Finish it now "
                               "with the USB controller firmware (.cyacd)?"));
    QPushButton* update = box->addButton(tr("Update…"), QMessageBox::AcceptRole);
    box->setDefaultButton(box->addButton(tr("Not Now"), QMessageBox::RejectRole));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, box, [box, update, open] {
        if (box->clickedButton() == update) open();
    });
    box->open(); // window-modal: a sheet on the main window
    return true;
}

void KdUpdateWindow::onButtonRadio(QAbstractButton* sender) {
    for (KdUpdateFileSection* section : {ui->fileSOFT, ui->fileUSB})
        section->radioButton()->setChecked(section->radioButton() == sender);
    updateButtonsState();
}

void KdUpdateWindow::updateButtonsState() {
    const bool running = mUpdater || mExport;
    for (KdUpdateFileSection* section : {ui->fileSOFT, ui->fileUSB}) {
        // A switcher in its bootloader takes only the USB controller's firmware.
        section->radioButton()->setEnabled(!running && !(mInBootloader && section == ui->fileSOFT));
        section->setSectionEnabled(!running && section->radioButton()->isChecked());
    }
    ui->exportFirst->setEnabled(!running);
    ui->cancelButton->setEnabled(!running);
    ui->updateButton->setEnabled(!running &&
                                 (ui->fileSOFT->fileValid() || ui->fileUSB->fileValid()));
    if (!running) ui->progressBox->clear();
}

void KdUpdateWindow::onButtonUpdate() {
    if (mUpdater || mExport || mConfirmation) return;
    KdUpdateFileSection* section = ui->fileSOFT->sectionEnabled()  ? ui->fileSOFT
                                   : ui->fileUSB->sectionEnabled() ? ui->fileUSB
                                                                   : nullptr;
    if (!mUpdateDevice || !section) return closeWithResult(CKdUpdater::kResultDeviceError);
    const bool usb = section == ui->fileUSB;
    const QString path = section->filePath();
    // The file is checked whole before anything is sent; a refused one is named here.
    const CKdFirmwareFile::_SResult file = CKdFirmwareFile::Check(
        path.toLocal8Bit().constData(),
        usb ? CKdFirmwareFile::kUsbController : CKdFirmwareFile::kMainFirmware);
    if (!file.ok) return ui->progressBox->setText(QString::fromLocal8Bit(file.problem.c_str()));
    confirmUpdate(usb, path, file.size, file.rows);
}

void KdUpdateWindow::confirmUpdate(bool usb, const QString& path, int64_t size,
                                   unsigned long rows) {
    const QString serial = QString::fromUtf8(mUpdateDevice->mInfo.serialNumber.CString());
    QString question, switcher, effect;
    if (mInBootloader) {
        question = tr("Finish the USB controller update of %1?").arg(serial);
        switcher = tr("Switcher: %1, waiting in its bootloader").arg(serial);
        effect = tr("The bootloader writes the rows; then the switcher restarts and comes back "
                    "as a new connection. Keep it connected until then.");
    } else {
        CKdPrmManager* session = mUpdateDevice->PrmManager();
        const CKdPrmManager::_SVersionInfo versions =
            session ? session->VersionInfo() : CKdPrmManager::_SVersionInfo();
        switcher = tr("Switcher: %1, software %2, FPGA %3, USB %4, PHY %5")
                       .arg(serial, versions.mSoftware.CString(), versions.mFPGA.CString(),
                            versions.mUSB.CString(), versions.mPHY.CString());
        question = usb ? tr("Update the USB controller firmware of %1?").arg(serial)
                       : tr("Update the main firmware of %1?").arg(serial);
        effect = usb ? tr("The switcher restarts into its bootloader, which writes the rows; then "
                          "it comes back as a new connection. Keep it connected until then.")
                     : tr("The main firmware is erased and written anew. Keep the switcher "
                          "connected and powered until the update has ended: an interrupted "
                          "update leaves it without a working firmware.");
    }
    QString fileText =
        tr("File: %1, %2 bytes").arg(QFileInfo(path).fileName(), QLocale().toString(qint64(size)));
    if (usb) fileText += tr(", %n rows", nullptr, int(rows));

    auto* box =
        new QMessageBox(QMessageBox::Warning, windowTitle(), question, QMessageBox::NoButton, this);
    box->setInformativeText(switcher + "\n" + fileText + "\n\n" + effect);
    // The verb on the button that changes the switcher; Cancel is what Return and Escape take.
    QPushButton* update = box->addButton(tr("Update"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box, update, usb, path] {
        if (box->clickedButton() != update) return;
        if (ui->exportFirst->isChecked() && !mInBootloader)
            exportThenUpdate(usb, path.toLocal8Bit());
        else
            startUpdate(usb, path.toLocal8Bit());
    });
    mConfirmation = box;
    box->open(); // window-modal on the update window
}

void KdUpdateWindow::startUpdate(bool usb, const QByteArray& path) {
    CKdUsbDevice* device = mUpdateDevice;
    LObjPtr_<CKdUpdater> updater;
    if (!usb) {
        updater = new CKdUpdaterFPGA(path.constData());
    } else {
        auto* usbUpdater = new CKdUpdaterUSB(path.constData(), device);
        if (mInBootloader) usbUpdater->FinishInBootloader();
        updater = usbUpdater;
    }
    updater->ReleaseObject(); // the pointer holds the creator's reference
    // The session lets go of the command stream and the updater borrows it; a switcher in its
    // bootloader has none.
    if (!mInBootloader && !updater->BorrowDeviceStream(device))
        return closeWithResult(CKdUpdater::kResultDeviceError);
    execUpdate(updater);
}

QString KdUpdateWindow::exportPath() const {
    // Named in full, so that an organisation name set for the settings does not move it.
    const QDir backups(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                       "/kaldo-utility/backups");
    return backups.filePath(KdSettingsTransfer::suggestedFileName(mUpdateDevice));
}

void KdUpdateWindow::exportThenUpdate(bool usb, const QByteArray& path) {
    const QString file = exportPath();
    QDir().mkpath(QFileInfo(file).path());
    ui->progressBox->setText(tr("Exporting the settings…"));
    mExport = KdSettingsTransfer::exportTo(
        this, mUpdateDevice, file, [this, usb, path, file](bool saved, const QString& message) {
            mExport = nullptr;
            updateButtonsState();
            if (!saved)
                return ui->progressBox->setText(
                    tr("The settings could not be exported, so the update did not start: %1")
                        .arg(message));
            ui->progressBox->setText(tr("Settings exported to %1").arg(file));
            startUpdate(usb, path);
        });
    if (mExport) updateButtonsState(); // else the failure is told already
}

void KdUpdateWindow::execUpdate(CKdUpdater* updater) {
    if (!updater) return;
    mUpdater = updater;
    updateButtonsState();
    ui->progressBar->setRange(0, 0); // busy until writing begins
    updater->StartUpdateThread();
}

void KdUpdateWindow::handleUpdateNotification(const LNotification& notification) {
    auto* info = dynamic_cast<KdUpdateInformation*>(notification.object.Get());
    if (!info || !mUpdater || info->Updater() != mUpdater.Get()) return;
    switch (info->Type()) {
    case CKdUpdater::kNotifyErasing:
        ui->progressBox->setText(tr("Erasing..."));
        break;
    case CKdUpdater::kNotifyWriting:
        ui->progressBar->setRange(0, kProgressMax);
        ui->progressBar->setValue(0);
        break;
    case CKdUpdater::kNotifyProgress:
        ui->progressBar->setValue(info->Value());
        ui->progressBox->setText(QStringLiteral("%1%").arg(info->Value() / 10));
        break;
    case CKdUpdater::kNotifyEnd:
        endUpdate(info->Value());
        break;
    }
}

void KdUpdateWindow::endUpdate(int result) {
    mUpdater = nullptr;
    ui->progressBar->setRange(0, kProgressMax);
    ui->progressBar->setValue(0);
    // The update thread has let go of the stream before it posted the end.
    if (mUpdateDevice && !mInBootloader) mUpdateDevice->ReturnStream();
    closeWithResult(result);
}

void KdUpdateWindow::closeWithResult(int result) {
    performClose();
    const CKdUpdater::_SResultText text = CKdUpdater::ResultText(result);
    auto* alert = new KdAlert(result == CKdUpdater::kResultOK ? QMessageBox::Information
                                                              : QMessageBox::Warning,
                              tr(text.mMessage), tr(text.mInformative));
    LNotificationCenter::Default().Post(kAlertRequest, this, alert);
    alert->ReleaseObject();
}

void KdUpdateWindow::performClose() {
    if (mUpdater || mExport) return;
    done(1);
}

void KdUpdateWindow::usbDeviceRemoved() {
    if (mUpdateDevice && mUpdateDevice->mRemoved)
        QTimer::singleShot(kRemovalCloseDelayMs, this, &KdUpdateWindow::performClose);
}

void KdUpdateWindow::reject() {
    performClose(); // the close button and Escape come here, refused during an update
}

KdUpdateFileSection* KdUpdateWindow::fileSOFT() const {
    return ui->fileSOFT;
}
KdUpdateFileSection* KdUpdateWindow::fileUSB() const {
    return ui->fileUSB;
}
QCheckBox* KdUpdateWindow::exportFirstBox() const {
    return ui->exportFirst;
}
QPushButton* KdUpdateWindow::cancelButton() const {
    return ui->cancelButton;
}
QPushButton* KdUpdateWindow::updateButton() const {
    return ui->updateButton;
}
QProgressBar* KdUpdateWindow::progressBar() const {
    return ui->progressBar;
}
QLabel* KdUpdateWindow::progressBox() const {
    return ui->progressBox;
}
