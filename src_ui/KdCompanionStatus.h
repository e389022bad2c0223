#pragma once

#include "CKdRemoteControl.h"

#include <QLabel>

// A small status-bar label about the companion link: the port it listens on (or that the port is
// taken), then what became of the last datagram and from which sender port. Its tooltip gives
// the details.
class KdCompanionStatus : public QLabel {
    Q_OBJECT
public:
    explicit KdCompanionStatus(QWidget* parent = nullptr);

    void showListening(uint16_t eventPort, uint16_t replyPort, bool listening, bool anyUser);
    void showActivity(const CKdRemoteControl::_SActivity& activity);

private:
    QString mListeningTip; // the tooltip while the last datagram was an event
};
