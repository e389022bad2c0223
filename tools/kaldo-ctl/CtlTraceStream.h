#pragma once

#include "CKdCmdParser.h"
#include "LObjPtr_.h"
#include "LStream.h"

#include <cstdint>
#include <cstdio>

// A stream that passes everything to another stream and prints each command packet that goes
// through it, one decoded line per packet: "->" for packets written, "<-" for packets read.
class CtlTraceStream : public LStream, private CKdCmdParser::Delegate {
public:
    CtlTraceStream(LStream* inner, FILE* out);
    ~CtlTraceStream() override;

    bool IsOpened() const override { return mInner->IsOpened(); }
    bool Open() override { return mInner->Open(); }
    void Close() override { mInner->Close(); }
    void FlushReadData() override { mInner->FlushReadData(); }
    void FlushWriteData() override { mInner->FlushWriteData(); }
    void DrainWriteData() override { mInner->DrainWriteData(); }
    bool WaitReadable(int timeoutMs) override { return mInner->WaitReadable(timeoutMs); }
    long Length() const override { return mInner->Length(); }
    int Descriptor() const override { return mInner->Descriptor(); }
    int WriteDescriptor() const override { return mInner->WriteDescriptor(); }
    int ReadDescriptor() const override { return mInner->ReadDescriptor(); }
    ssize_t Write(const void* bytes, unsigned long count) override;
    ssize_t Read(void* bytes, unsigned long count) override;

private:
    void PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) override;

    LObjPtr_<LStream> mInner;
    FILE* mOut;
    CKdCmdParser mSent{nullptr};
    CKdCmdParser mReceived{nullptr};
    long mRequested[256]; // first identifier of each parameter request, by sequence number
};
