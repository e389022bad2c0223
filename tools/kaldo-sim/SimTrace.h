#pragma once

#include "SimCatalog.h"
#include "SimDevice.h"

#include <string>

// --trace: each frame on stderr in hex, followed by a decoded line.
class SimTrace {
public:
    explicit SimTrace(const SimCatalog& catalog) : mCatalog(catalog) {}

    // direction: "<-" for requests received, "->" for answers sent.
    void Log(const char* direction, const SimFrame& frame, const char* note = nullptr) const;

private:
    std::string Describe(const SimFrame& frame) const;
    std::string Label(int id) const;

    const SimCatalog& mCatalog;
};
