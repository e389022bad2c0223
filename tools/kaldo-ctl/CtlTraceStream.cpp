#include "CtlTraceStream.h"

#include "CKdPacketText.h"

#include <algorithm>
#include <iterator>

CtlTraceStream::CtlTraceStream(LStream* inner, FILE* out) : mInner(inner), mOut(out) {
    std::fill(std::begin(mRequested), std::end(mRequested), -1);
    mSent.SetDelegate(this);
    mReceived.SetDelegate(this);
}

CtlTraceStream::~CtlTraceStream() = default;

ssize_t CtlTraceStream::Write(const void* bytes, unsigned long count) {
    const ssize_t written = mInner->Write(bytes, count);
    if (written > 0) mSent.ParseData(bytes, written);
    return written;
}

ssize_t CtlTraceStream::Read(void* bytes, unsigned long count) {
    const ssize_t read = mInner->Read(bytes, count);
    if (read > 0) mReceived.ParseData(bytes, read);
    return read;
}

void CtlTraceStream::PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) {
    const bool sent = parser == &mSent;
    long requested = -1;
    if (sent && packet.mCommand == CKdCmdPacket::kCmdReqParameter && packet.mLength >= 2)
        mRequested[packet.mSequence] = packet.mData[0] | packet.mData[1] << 8;
    if (!sent && packet.mCommand == CKdCmdPacket::kCmdResParameter)
        requested = mRequested[packet.mSequence];
    std::fprintf(mOut, "%s #%d %s\n", sent ? "->" : "<-", packet.mSequence,
                 CKdPacketText::Describe(packet, requested).CString());
    std::fflush(mOut);
}
