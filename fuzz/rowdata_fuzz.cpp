// Feeds arbitrary row-data files through the reader and parsers: the whole-file check, then a
// program run against an in-memory bootloader that accepts whatever the file says it is.

#include "Btldr_Bootload.h"
#include "Btldr_DataFile.h"
#include "Btldr_Packets.h"
#include "FakeBootloader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {
FakeBootloader* gDevice = nullptr;
FakeBootloader::Bytes gAnswer;

int Open() {
    return 0;
}
int Close() {
    return 0;
}
int Write(uint8_t* buffer, int size) {
    gAnswer = gDevice->Handle(FakeBootloader::Bytes(buffer, buffer + size));
    return 0;
}
int Read(uint8_t* buffer, int size) {
    std::memset(buffer, 0, size);
    std::memcpy(buffer, gAnswer.data(), std::min<size_t>(size, gAnswer.size()));
    return 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = memfd_create("rowdata", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    unsigned long badLine = 0, rows = 0;
    const unsigned checked = Btldr_CheckDataFile(path.c_str(), &badLine, &rows);

    // The device takes the identity and checksum type of the file's header, so that the run
    // gets past the bootloader entry to the rows.
    FakeBootloader device;
    char line[BTLDR_LINE_BUFFER_SIZE];
    unsigned long length = 0;
    uint8_t type = 0;
    if (Btldr_OpenDataFile(path.c_str()) == 0 && Btldr_ReadLine(&length, line) == 0)
        Btldr_ParseHeader(length, line, &device.siliconId, &device.siliconRev, &type);
    Btldr_CloseDataFile();
    device.crc = type == BTLDR_CHECKSUM_CRC;
    device.arrays[1] = {0, 0xFFFF};
    gDevice = &device;
    const Btldr_CommIf comm{Open, Close, Read, Write, 64};
    const unsigned result = Btldr_Program(path.c_str(), &comm, nullptr);
    // A file that passed the check never fails the run as a file.
    if (checked == BTLDR_SUCCESS && result >= BTLDR_ERR_FILE && result <= BTLDR_ERR_CMD)
        __builtin_trap();
    Btldr_SetCheckSumType(BTLDR_CHECKSUM_SUM);
    close(fd);
    return 0;
}
