#pragma once

#include "CKdUpdater.h"

#include <cstdint>
#include <vector>

// Updates the switcher's main firmware over the command link: erase (0x31), the image in blocks
// of up to 59 bytes (0x32), and the low byte of the bytes' sum (0x33), each answer awaited.
class CKdUpdaterFPGA : public CKdUpdater {
public:
    struct _SWaits {
        int eraseMs = 120000;
        int blockMs = 10000; // each block and the finish
    };

    explicit CKdUpdaterFPGA(const char* filePath);
    CKdUpdaterFPGA(const char* filePath, const _SWaits& waits);

    // The whole image is checked and read (CKdFirmwareFile) before the erase, so that nothing
    // about the file can fail after it: a refused file ends with kResultFileError untouched.
    // A stop request ends it before the next block.
    int ExecUpdate() override;

private:
    int Erase();
    int WriteBlocks(const std::vector<uint8_t>& image, uint32_t& sum);
    int Finish(uint32_t sum);

    _SWaits mWaits;
};
