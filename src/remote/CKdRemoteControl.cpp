#include "CKdRemoteControl.h"

bool CKdRemoteControl::Listen(LRunLoop& loop, uint16_t eventPort, uint16_t replyPort,
                              bool anyUser) {
    if (mLink) return mLink->IsListening();
    mLink = std::make_unique<CKdUdpLink>(eventPort, replyPort);
    return mLink->Listen(
        loop,
        [this](const uint8_t* bytes, size_t count, const CKdUdpLink::_SSender& from) {
            std::string why;
            const bool accepted = mInterpreter.Receive(bytes, count, &why);
            Tell({accepted ? _SActivity::kExecuted : _SActivity::kIgnored, from, why});
        },
        [this](const CKdUdpLink::_SSender& from) {
            Tell({_SActivity::kRefused, from, {}});
        },
        anyUser);
}
