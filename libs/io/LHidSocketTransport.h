#pragma once

#include "LHidTransport.h"

// A virtual device's SOCK_SEQPACKET Unix socket: one message is one report, without the report
// ID byte, in both directions. The peer serves one connection at a time, so exclusive access
// needs nothing here.
class LHidSocketTransport : public LHidTransport {
public:
    using LHidTransport::LHidTransport;

    bool Open(bool exclusive) override;
    bool WriteReport(const void* bytes, size_t length) override;
    ssize_t ReadReport(void* buffer, size_t size) override;
};
