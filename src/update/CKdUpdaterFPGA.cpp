#include "CKdUpdaterFPGA.h"

#include "LFile.h"

#include <fcntl.h>

#include <algorithm>

CKdUpdaterFPGA::CKdUpdaterFPGA(const char* filePath) : CKdUpdaterFPGA(filePath, _SWaits()) {}

CKdUpdaterFPGA::CKdUpdaterFPGA(const char* filePath, const _SWaits& waits)
    : CKdUpdater(filePath), mWaits(waits) {}

int CKdUpdaterFPGA::ExecUpdate() {
    Notification(kNotifyBegin, 0);
    std::vector<uint8_t> image;
    if (!ReadImage(image)) return kResultFileError;
    Notification(kNotifyErasing, 0);
    if (const int result = Erase()) return result;
    Notification(kNotifyWriting, 0);
    uint32_t sum = 0;
    if (const int result = WriteBlocks(image, sum)) return result;
    return Finish(sum);
}

bool CKdUpdaterFPGA::ReadImage(std::vector<uint8_t>& image) const {
    LFile file(FilePath());
    file.SetOpenFlags(O_RDONLY | O_CLOEXEC);
    if (!file.Open()) return false;
    uint8_t chunk[64 * 1024];
    for (ssize_t count; (count = file.Read(chunk, sizeof chunk)) != 0;) {
        if (count < 0) return false;
        image.insert(image.end(), chunk, chunk + count);
    }
    return !image.empty();
}

int CKdUpdaterFPGA::Erase() {
    const CKdCmdPacket packet = MakeCmdPacket(CKdCmdPacket::kCmdBeginFirmware);
    return SendPacket(packet, CKdCmdPacket::kCmdBeginFirmware, mWaits.eraseMs);
}

int CKdUpdaterFPGA::WriteBlocks(const std::vector<uint8_t>& image, uint32_t& sum) {
    const size_t length = image.size();
    int lastProgress = -1;
    for (size_t offset = 0; offset < length;) {
        const size_t count = std::min<size_t>(CKdCmdPacket::kMaxDataLength, length - offset);
        CKdCmdPacket packet = MakeCmdPacket(CKdCmdPacket::kCmdFirmwareBlock);
        packet.Append(&image[offset], static_cast<int>(count));
        for (size_t k = 0; k < count; ++k)
            sum += image[offset + k];
        if (const int result = SendPacket(packet, CKdCmdPacket::kCmdFirmwareBlock, mWaits.blockMs))
            return result;
        offset += count;
        const int progress = static_cast<int>(1000 - (length - offset) * 1000 / length);
        if (progress != lastProgress) Notification(kNotifyProgress, progress);
        lastProgress = progress;
    }
    return kResultOK;
}

int CKdUpdaterFPGA::Finish(uint32_t sum) {
    CKdCmdPacket packet = MakeCmdPacket(CKdCmdPacket::kCmdEndFirmware);
    packet.Append(static_cast<int>(sum & 0xFF));
    return SendPacket(packet, CKdCmdPacket::kCmdEndFirmware, mWaits.blockMs);
}
