#include "KdPrmExecButton.h"

#include "LNotificationCenter.h"

#include <QEvent>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

KdPrmExecButton::KdPrmExecButton(int x, QWidget* parent) : QPushButton(tr("EXEC"), parent) {
    adjustSize();
    setGeometry(x, 0, kWidth, height());
    connect(this, &QPushButton::clicked, this, &KdPrmExecButton::actionExec);
}

KdPrmExecButton::~KdPrmExecButton() {
    closeConfirmWindow();
}

void KdPrmExecButton::setPrmId(long id, LPrmManager* manager) {
    mPrmObserver.Setup(manager, id, nullptr);
}

void KdPrmExecButton::setNotification(const char* name, const void* object) {
    mNotification = name ? name : "";
    mNotifyObject = object;
}

void KdPrmExecButton::setRow(const CKdPageCatalogue::_SRow& row) {
    mActionWait = row.mLength;
    if (row.mConfirmation) setConfirmation(row.mConfirmation, row.mConfirmVerb);
    if (row.mNotification) setNotification(row.mNotification);
}

void KdPrmExecButton::actionExec() {
    if (mConfirmation.isEmpty()) {
        execute();
        return;
    }
    auto* alert = new QMessageBox(QMessageBox::Warning, QString(), tr(kConfirmTitle),
                                  QMessageBox::NoButton, window());
    alert->setInformativeText(mConfirmation);
    // The action's own verb on the button that changes the switcher; nothing happens by default.
    QPushButton* ok = alert->addButton(mConfirmVerb, QMessageBox::DestructiveRole);
    QPushButton* cancel = alert->addButton(QMessageBox::Cancel);
    alert->setDefaultButton(cancel);
    alert->setEscapeButton(cancel);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    connect(alert, &QMessageBox::finished, this,
            [this, alert, ok] { alertDidEnd(alert->clickedButton() == ok); });
    mConfirmAlert = alert;
    alert->open(); // window-modal: a sheet on the page's window
}

void KdPrmExecButton::alertDidEnd(bool confirmed) {
    mConfirmAlert = nullptr;
    // Once the sheet has gone.
    if (confirmed) QTimer::singleShot(0, this, &KdPrmExecButton::execute);
}

void KdPrmExecButton::closeConfirmWindow() {
    if (!mConfirmAlert) return;
    QMessageBox* alert = mConfirmAlert;
    mConfirmAlert = nullptr;
    alert->disconnect(this);
    alert->close();
}

void KdPrmExecButton::execute() {
    if (!mNotification.empty()) {
        LNotificationCenter::Default().Post(mNotification, mNotifyObject);
        return;
    }
    auto* session = dynamic_cast<CKdPrmManager*>(mPrmObserver.PrmManager());
    if (!session || !session->SendExecPacket(mPrmObserver.PrmID(), 1)) return;
    // The switcher needs this long to act (a still capture); the link waits with the page.
    if (mActionWait > 0) QThread::msleep(mActionWait);
    session->RequestParameters(mRequestPrmTable, CKdPrmManager::kRequestWaitMs);
}

bool KdPrmExecButton::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange && !parentWidget()) closeConfirmWindow();
    return QPushButton::event(event);
}
