#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The one check of a firmware file, shared by kaldo-ctl and the update window and repeated by
// the updaters: everything about the file is known good before the switcher is touched. A file
// must have the kind's extension exactly, be a regular file of at most kMaxFileBytes, and be
// readable; a main image must not be empty, and every line of a row-data file must check out
// (Btldr_CheckDataFile).
class CKdFirmwareFile {
public:
    enum EKind { kMainFirmware, kUsbController };

    // The ceiling for both kinds: the main image is sent in blocks without addresses, so the
    // format itself sets no bound. 16 MiB is several times the largest image of the switcher.
    static constexpr int64_t kMaxFileBytes = 16 * 1024 * 1024;

    struct _SResult {
        bool ok = false;
        std::string problem;    // why it was refused, naming the file; empty when ok
        int64_t size = 0;       // bytes
        unsigned long rows = 0; // row-data files: the rows after the header
    };

    // "bin" or "cyacd".
    static const char* Extension(EKind kind);
    static _SResult Check(const char* path, EKind kind);
    // Checks a main image as Check does and reads it into image, with one open of the file.
    static _SResult ReadMainImage(const char* path, std::vector<uint8_t>& image);
};
