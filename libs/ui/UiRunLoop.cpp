#include "UiRunLoop.h"

#include <QSocketNotifier>
#include <QTimer>

UiRunLoop::UiRunLoop() = default;

UiRunLoop::~UiRunLoop() {
    if (LRunLoop::Main() == this) LRunLoop::SetMain(nullptr);
}

void UiRunLoop::InstallMain() {
    if (LRunLoop::Main()) return;
    static UiRunLoop loop;
    LRunLoop::SetMain(&loop);
}

int UiRunLoop::AddSource(int fd, Callback onReadable) {
    if (fd < 0) return 0;
    const int id = mNextId++;
    auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, &mContext,
                     [onReadable = std::move(onReadable)] { onReadable(); });
    mSources[id] = std::move(notifier);
    return id;
}

void UiRunLoop::RemoveSource(int sourceId) {
    auto it = mSources.find(sourceId);
    if (it == mSources.end()) return;
    // The callback may be the one removing its own source: let Qt finish the delivery first.
    it->second->setEnabled(false);
    it->second.release()->deleteLater();
    mSources.erase(it);
}

void UiRunLoop::Post(Callback call) {
    QMetaObject::invokeMethod(
        &mContext, [call = std::move(call)] { call(); }, Qt::QueuedConnection);
}

int UiRunLoop::AddTimer(int delayMs, Callback call) {
    const int id = mNextId++;
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    QObject::connect(timer.get(), &QTimer::timeout, &mContext, [this, id, call = std::move(call)] {
        Callback run = call;
        CancelTimer(id);
        run();
    });
    timer->start(delayMs);
    mTimers[id] = std::move(timer);
    return id;
}

void UiRunLoop::CancelTimer(int timerId) {
    auto it = mTimers.find(timerId);
    if (it == mTimers.end()) return;
    it->second->stop();
    it->second.release()->deleteLater();
    mTimers.erase(it);
}
