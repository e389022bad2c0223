#include "KdPrmReading.h"

#include <QSocketNotifier>

KdPrmReading::KdPrmReading(CKdPrmManager* session, const CKdPrmManager::_SPrmReqInfo* table,
                           QObject* parent)
    : QObject(parent), mSession(session) {
    LStream* stream = session->DeviceStream();
    if (stream && stream->ReadDescriptor() >= 0) {
        mNotifier = new QSocketNotifier(stream->ReadDescriptor(), QSocketNotifier::Read, this);
        connect(mNotifier, &QSocketNotifier::activated, this, &KdPrmReading::serviceLink);
    }
    mTicket = session->ReadParameters(table, [this] { stopWatching(); });
    if (!mTicket) stopWatching();
}

KdPrmReading::~KdPrmReading() {
    mSession->CancelReading(mTicket);
}

bool KdPrmReading::isReading() const {
    return mSession->IsReading(mTicket);
}

void KdPrmReading::serviceLink() {
    const LStream* stream = mSession->DeviceStream();
    if (mNotifier && stream && stream->ReadDescriptor() == mNotifier->socket())
        mSession->Service();
    else
        stopWatching(); // the stream was closed or replaced: its descriptor is not ours to watch
}

void KdPrmReading::stopWatching() {
    if (!mNotifier) return;
    // Called from the session, possibly while the notifier is delivering its signal.
    mNotifier->setEnabled(false);
    mNotifier->deleteLater();
    mNotifier = nullptr;
}
