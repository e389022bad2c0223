#include "CKdUpdaterFPGA.h"

#include "CKdFirmwareFile.h"

#include <algorithm>

CKdUpdaterFPGA::CKdUpdaterFPGA(const char* filePath) : CKdUpdaterFPGA(filePath, _SWaits()) {}

CKdUpdaterFPGA::CKdUpdaterFPGA(const char* filePath, const _SWaits& waits)
    : CKdUpdater(filePath), mWaits(waits) {}

int CKdUpdaterFPGA::ExecUpdate() {
    Notification(kNotifyBegin, 0);
    std::vector<uint8_t> image;
    const CKdFirmwareFile::_SResult file = CKdFirmwareFile::ReadMainImage(FilePath(), image);
    if (!file.ok) return FileRefused(file.problem);
    Notification(kNotifyErasing, 0);
    if (const int result = Erase()) return result;
    Notification(kNotifyWriting, 0);
    uint32_t sum = 0;
    if (const int result = WriteBlocks(image, sum)) return result;
    return Finish(sum);
}

int CKdUpdaterFPGA::Erase() {
    const CKdCmdPacket packet = MakeCmdPacket(CKdCmdPacket::kCmdBeginFirmware);
    return SendPacket(packet, CKdCmdPacket::kCmdBeginFirmware, mWaits.eraseMs);
}

int CKdUpdaterFPGA::WriteBlocks(const std::vector<uint8_t>& image, uint32_t& sum) {
    const size_t length = image.size();
    int lastProgress = -1;
    for (size_t offset = 0; offset < length;) {
        if (StopRequested()) return kResultStopped;
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
