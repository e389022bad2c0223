#pragma once

#include "SimCatalog.h"

#include <cstdint>
#include <vector>

// The switcher's parameter memory: one byte per identifier, read and written in the wire form
// (16-bit values little-endian, the top value of the "Off" parameters as 255).
class SimMemory {
public:
    struct _SExecute {
        int id;
        int value;
    };

    explicit SimMemory(const SimCatalog& catalog);

    const std::vector<uint8_t>& Image() const { return mBytes; }
    void LoadImage(const std::vector<uint8_t>& image) { mBytes = image; }

    // Bytes for a parameter request; false when the span leaves the memory.
    bool Read(int id, int count, std::vector<uint8_t>& out) const;
    // Stores a run of bytes from id. Every parameter covered must be whole, writable and in
    // range, or nothing is stored and false is returned. Execute identifiers are not stored;
    // they are appended to executes with their values, in order.
    bool Write(int id, const uint8_t* bytes, int count, std::vector<_SExecute>& executes);

    // The value of the parameter that starts at id; 0 for anything else.
    int Value(int id) const;
    // The switcher's own change: clamped to the range, read-only parameters included.
    void SetValue(int id, int value);
    // Copies a block of memory, e.g. a region-of-interest preset into a layer.
    void Copy(int from, int to, int count);

private:
    const SimCatalog& mCatalog;
    std::vector<uint8_t> mBytes;
};
