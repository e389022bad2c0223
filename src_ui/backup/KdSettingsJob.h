#pragma once

#include "CKdSettingsReport.h"
#include "CKdUsbDevice.h"
#include "LObjPtr_.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <vector>

class CKdSettingsSession;
class QThread;

// One run of the settings backend for the window: borrows the device's link
// (CKdUsbDevice::LendStream), runs the work with a session of its own on a thread, so that the
// window stays responsive, and gives the link back when the work is done. What the backend tells
// (failures, notes, records) is kept for the window to read once finished() has come.
class KdSettingsJob : public QObject, private CKdSettingsReport {
    Q_OBJECT
public:
    // Runs on the job's thread; returns a KdSettingsStatus code. The session is not linked yet:
    // link() links it.
    using Work = std::function<int(KdSettingsJob& job, CKdSettingsSession& session)>;

    KdSettingsJob(CKdUsbDevice* device, Work work, QObject* parent = nullptr);
    // Waits for the thread, and gives the link back when finished() has not come yet.
    ~KdSettingsJob() override;

    // Borrows the link and starts the thread; false (nothing started) when the link can't be had.
    bool start();
    bool isRunning() const { return mRunning; }

    // On the job's thread: links session to the borrowed stream and waits for the switcher's
    // version answer; a KdSettingsStatus code, the failure told.
    int link(CKdSettingsSession& session);

    // Once finished.
    int status() const { return mStatus; }
    const QStringList& failures() const { return mFailures; }
    const QStringList& notes() const { return mNotes; }
    const std::vector<Json>& records() const { return mRecords; }
    const std::vector<std::string>& lines() const { return mLines; }
    // The failures, or the notes when there are none, one a line.
    QString messages() const { return (mFailures.isEmpty() ? mNotes : mFailures).join('\n'); }

signals:
    // done of total requests read; total 0 while the switcher is being written.
    void progress(int done, int total);
    void finished(int status);

private:
    void Message(bool failure, const std::string& text) override;
    void Record(const Json& record, const std::string& line) override;
    void Progress(const char* what, int done, int total) override;
    void EndProgress() override;
    void threadDone();

    LObjPtr_<CKdUsbDevice> mDevice;
    Work mWork;
    LStream* mStream = nullptr; // the borrowed link
    QThread* mThread = nullptr;
    bool mRunning = false;
    int mStatus = 0;
    QStringList mFailures;
    QStringList mNotes;
    std::vector<Json> mRecords;
    std::vector<std::string> mLines;
};
