#pragma once

#include "CKdPrmManager.h"
#include "LObjPtr_.h"

#include <QObject>

class QSocketNotifier;

// A page's request table read through the session without holding up the event loop: the session
// sends the requests in turn (ReadParameters), and the answers are decoded as soon as the link has
// bytes to read. The window's timer, which services the session, ends a request whose answer does
// not come. Destroying the reading cancels it.
class KdPrmReading : public QObject {
    Q_OBJECT

public:
    KdPrmReading(CKdPrmManager* session, const CKdPrmManager::_SPrmReqInfo* table,
                 QObject* parent = nullptr);
    ~KdPrmReading() override;

    bool isReading() const;

private:
    // Decodes what the link holds, unless the session has left the stream being watched.
    void serviceLink();
    void stopWatching();

    LObjPtr_<CKdPrmManager> mSession; // held: the page may go after the session's other owners
    int mTicket = 0;
    QSocketNotifier* mNotifier = nullptr;
};
