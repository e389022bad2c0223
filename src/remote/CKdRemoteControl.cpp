#include "CKdRemoteControl.h"

bool CKdRemoteControl::Listen(LRunLoop& loop, uint16_t eventPort, uint16_t replyPort) {
    if (mLink) return mLink->IsListening();
    mLink = std::make_unique<CKdUdpLink>(eventPort, replyPort);
    return mLink->Listen(
        loop, [this](const uint8_t* bytes, size_t count) { mInterpreter.Receive(bytes, count); });
}
