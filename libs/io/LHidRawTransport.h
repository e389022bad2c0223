#pragma once

#include "LHidTransport.h"

// A hidraw node (/dev/hidrawN). Exclusive access is an flock on the node, which every opener
// of this library takes.
class LHidRawTransport : public LHidTransport {
public:
    using LHidTransport::LHidTransport;

    bool Open(bool exclusive) override;
    // Writes report ID 0 and the bytes in one write, as hidraw expects for unnumbered reports.
    bool WriteReport(const void* bytes, size_t length) override;
    ssize_t ReadReport(void* buffer, size_t size) override;
};
