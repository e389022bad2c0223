#include "KdSettingsJob.h"

#include "CKdSettingsSession.h"
#include "KdSettingsStatus.h"

#include <QThread>

KdSettingsJob::KdSettingsJob(CKdUsbDevice* device, Work work, QObject* parent)
    : QObject(parent), mDevice(device), mWork(std::move(work)) {}

KdSettingsJob::~KdSettingsJob() {
    if (!mThread) return;
    mThread->wait();
    if (mRunning) mDevice->ReturnStream(); // deleted before finished() came
}

bool KdSettingsJob::start() {
    if (mRunning || !mDevice) return false;
    mStream = mDevice->LendStream();
    if (!mStream) return false;
    mRunning = true;
    mThread = QThread::create([this] {
        CKdSettingsSession session(*this);
        mStatus = mWork(*this, session);
        // The stream goes back to its owner only after the session is done with it.
        session.SetDeviceStream(nullptr);
    });
    mThread->setParent(this);
    connect(mThread, &QThread::finished, this, &KdSettingsJob::threadDone);
    mThread->start();
    return true;
}

int KdSettingsJob::link(CKdSettingsSession& session) {
    switch (session.Connect(mStream)) {
    case KdSettingsStatus::kOK:
        return KdSettingsStatus::kOK;
    case KdSettingsStatus::kRefused:
        return KdSettingsStatus::kRefused; // told as it arrived
    default:
        return Fail(KdSettingsStatus::kNoAnswer, "The switcher did not answer %d version requests.",
                    CKdSettingsSession::kConnectAttempts);
    }
}

void KdSettingsJob::threadDone() {
    mDevice->ReturnStream();
    mStream = nullptr;
    mRunning = false;
    emit finished(mStatus);
}

void KdSettingsJob::Message(bool failure, const std::string& text) {
    (failure ? mFailures : mNotes).append(QString::fromStdString(text));
}

void KdSettingsJob::Record(const Json& record, const std::string& line) {
    mRecords.push_back(record);
    mLines.push_back(line);
}

void KdSettingsJob::Progress(const char*, int done, int total) {
    emit progress(done, total);
}

void KdSettingsJob::EndProgress() {
    emit progress(0, 0);
}
