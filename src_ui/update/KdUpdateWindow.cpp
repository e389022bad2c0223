#include "KdUpdateWindow.h"

#include "CKdUpdaterFPGA.h"
#include "CKdUpdaterUSB.h"
#include "KdAlert.h"
#include "KdUpdateFileSection.h"
#include "KdUpdateInformation.h"
#include "ui_KdUpdateWindow.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
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

void KdUpdateWindow::onButtonRadio(QAbstractButton* sender) {
    for (KdUpdateFileSection* section : {ui->fileSOFT, ui->fileUSB})
        section->radioButton()->setChecked(section->radioButton() == sender);
    updateButtonsState();
}

void KdUpdateWindow::updateButtonsState() {
    const bool running = mUpdater;
    for (KdUpdateFileSection* section : {ui->fileSOFT, ui->fileUSB}) {
        section->radioButton()->setEnabled(!running);
        section->setSectionEnabled(!running && section->radioButton()->isChecked());
    }
    ui->cancelButton->setEnabled(!running);
    ui->updateButton->setEnabled(!running &&
                                 (ui->fileSOFT->fileValid() || ui->fileUSB->fileValid()));
    if (!running) ui->progressBox->clear();
}

void KdUpdateWindow::onButtonUpdate() {
    if (mUpdater) return;
    CKdUsbDevice* device = mUpdateDevice;
    LObjPtr_<CKdUpdater> updater;
    if (device) {
        const QByteArray softPath = ui->fileSOFT->filePath().toLocal8Bit();
        const QByteArray usbPath = ui->fileUSB->filePath().toLocal8Bit();
        if (ui->fileSOFT->sectionEnabled())
            updater = new CKdUpdaterFPGA(softPath.constData());
        else if (ui->fileUSB->sectionEnabled())
            updater = new CKdUpdaterUSB(usbPath.constData(), device);
        if (updater) updater->ReleaseObject(); // the pointer holds the creator's reference
    }
    // The session lets go of the command stream and the updater borrows it.
    if (!updater || !updater->BorrowDeviceStream(device))
        return closeWithResult(CKdUpdater::kResultDeviceError);
    execUpdate(updater);
}

void KdUpdateWindow::execUpdate(CKdUpdater* updater) {
    if (!updater) return;
    mUpdater = updater;
    updateButtonsState();
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
    // The update thread has let go of the stream before it posted the end.
    if (mUpdateDevice) mUpdateDevice->ReturnStream();
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
    if (mUpdater) return;
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
