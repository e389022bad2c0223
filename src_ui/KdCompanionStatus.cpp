#include "KdCompanionStatus.h"

KdCompanionStatus::KdCompanionStatus(QWidget* parent) : QLabel(parent) {
    setObjectName("companionStatus");
    setForegroundRole(QPalette::PlaceholderText);
}

void KdCompanionStatus::showListening(uint16_t eventPort, uint16_t replyPort, bool listening,
                                      bool anyUser) {
    if (!listening) {
        setText(tr("Companion: port %1 in use").arg(eventPort));
        setToolTip(tr("Another program holds 127.0.0.1:%1, so companion events do not reach "
                      "this window. Start kaldo-utility with --companion-port to use another "
                      "port.")
                       .arg(eventPort));
        return;
    }
    setText(tr("Companion: port %1").arg(eventPort));
    mListeningTip =
        (anyUser ? tr("Companion events are taken on 127.0.0.1:%1 from programs of any "
                      "user; replies go to port %2.")
                 : tr("Companion events are taken on 127.0.0.1:%1 from programs of this "
                      "user only; replies go to port %2."))
            .arg(eventPort)
            .arg(replyPort);
    setToolTip(mListeningTip);
}

void KdCompanionStatus::showActivity(const CKdRemoteControl::_SActivity& activity) {
    const uint16_t port = activity.mSender.mPort;
    switch (activity.mOutcome) {
    case CKdRemoteControl::_SActivity::kExecuted:
        setText(tr("Companion: event from port %1").arg(port));
        setToolTip(mListeningTip);
        return;
    case CKdRemoteControl::_SActivity::kIgnored:
        setText(tr("Companion: ignored a text from port %1").arg(port));
        setToolTip(tr("Not an event: %1").arg(QString::fromStdString(activity.mWhy)));
        return;
    case CKdRemoteControl::_SActivity::kRefused:
        setText(
            activity.mSender.mUid < 0
                ? tr("Companion: refused port %1 (owner unknown)").arg(port)
                : tr("Companion: refused port %1 (user %2)").arg(port).arg(activity.mSender.mUid));
        setToolTip(tr("Events from other users' programs, or from a socket that was closed "
                      "before the event was read, are refused. Start kaldo-utility with "
                      "--companion-any-user to take events from every local user."));
        return;
    }
}
