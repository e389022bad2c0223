#include "KdSettingsTransfer.h"

#include "CKdSettingsFile.h"
#include "CKdSettingsSession.h"
#include "CKdUsbDevice.h"
#include "KdImportDialog.h"
#include "KdSettingsJob.h"
#include "KdSettingsStatus.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QRegularExpression>

namespace {
const char* kFilter = QT_TRANSLATE_NOOP("KdSettingsTransfer", "Settings backups (*.json)");

void showResult(QWidget* parent, bool saved, const QString& message) {
    auto* box = new QMessageBox(saved ? QMessageBox::Information : QMessageBox::Warning,
                                KdSettingsTransfer::tr("Export Settings"),
                                saved ? KdSettingsTransfer::tr("The settings are exported.")
                                      : KdSettingsTransfer::tr("The settings were not exported."),
                                QMessageBox::Ok, parent);
    box->setInformativeText(message);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
} // namespace

void KdSettingsTransfer::exportSettings(QWidget* parent, CKdUsbDevice* device) {
    const QString path =
        QFileDialog::getSaveFileName(parent, tr("Export Settings"),
                                     QDir::home().filePath(suggestedFileName(device)), tr(kFilter));
    if (!path.isEmpty()) exportTo(parent, device, path);
}

KdSettingsJob* KdSettingsTransfer::exportTo(QWidget* parent, CKdUsbDevice* device,
                                            const QString& path, Done done) {
    if (!done)
        done = [parent](bool saved, const QString& message) { showResult(parent, saved, message); };
    const QByteArray file = QFile::encodeName(path);
    auto* job = new KdSettingsJob(
        device,
        [file](KdSettingsJob& job, CKdSettingsSession& session) {
            session.SetProgress(true);
            if (int status = job.link(session)) return status;
            return CKdSettingsFile::Save(session, file.constData());
        },
        parent);
    if (!job->start()) {
        delete job;
        done(false, tr("The switcher's link cannot be opened."));
        return nullptr;
    }
    auto* progress = new QProgressDialog(tr("Reading the settings…"), QString(), 0, 0, parent);
    progress->setWindowTitle(tr("Export Settings"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(job, &KdSettingsJob::progress, progress, [progress](int done, int total) {
        progress->setMaximum(total);
        progress->setValue(done);
    });
    QObject::connect(job, &KdSettingsJob::finished, job, [job, progress, done](int status) {
        progress->close();
        const bool saved = status == KdSettingsStatus::kOK;
        const QString message = saved && !job->lines().empty()
                                    ? QString::fromStdString(job->lines().front())
                                    : job->messages();
        job->deleteLater();
        done(saved, message);
    });
    return job;
}

KdImportDialog* KdSettingsTransfer::importSettings(QWidget* parent, CKdUsbDevice* device) {
    const QString path =
        QFileDialog::getOpenFileName(parent, tr("Import Settings"), QDir::homePath(), tr(kFilter));
    return path.isEmpty() ? nullptr : importFrom(parent, device, path);
}

KdImportDialog* KdSettingsTransfer::importFrom(QWidget* parent, CKdUsbDevice* device,
                                               const QString& path) {
    auto* dialog = new KdImportDialog(device, path, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    dialog->check();
    return dialog;
}

QString KdSettingsTransfer::suggestedFileName(CKdUsbDevice* device) {
    QString serial = device ? QString::fromUtf8(device->mInfo.serialNumber.CString()) : QString();
    serial.replace(QRegularExpression("[^A-Za-z0-9_-]"), "");
    return QString("kaldo-1-%1%2.json")
        .arg(serial.isEmpty() ? QString() : serial + "-",
             QDateTime::currentDateTime().toString("yyyyMMdd-HHmm"));
}
