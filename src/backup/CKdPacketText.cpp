#include "CKdPacketText.h"

namespace {

// The data bytes from first on as " xx xx ...".
LString HexBytes(const CKdCmdPacket& packet, int first) {
    LString text;
    for (int i = first; i < packet.mLength; ++i)
        text += LString().Format(" %02x", packet.mData[i]);
    return text;
}

int Word(const CKdCmdPacket& packet, int at) {
    return packet.mData[at] | packet.mData[at + 1] << 8;
}

} // namespace

LString CKdPacketText::Describe(const CKdCmdPacket& packet, long requested) {
    LString text;
    const int length = packet.mLength;
    switch (packet.mCommand) {
    case CKdCmdPacket::kCmdReqParameter:
        if (length == 3) return text.Format("request %d (%d)", Word(packet, 0), packet.mData[2]);
        break;
    case CKdCmdPacket::kCmdReqVersion:
        return "version request";
    case CKdCmdPacket::kCmdSetParameter:
        if (length >= 2) return text.Format("set %d:", Word(packet, 0)) + HexBytes(packet, 2);
        break;
    case CKdCmdPacket::kCmdBeginUsbUpdate:
        return "begin USB controller update";
    case CKdCmdPacket::kCmdBeginFirmware:
        return "begin firmware update";
    case CKdCmdPacket::kCmdFirmwareBlock:
        return text.Format("firmware block of %d bytes", length);
    case CKdCmdPacket::kCmdEndFirmware:
        return LString("end of firmware") + HexBytes(packet, 0);
    case CKdCmdPacket::kCmdReboot:
        return "reboot";
    default:
        break;
    }
    if (!(packet.mCommand & CKdCmdPacket::kResponse) || length < 1)
        return text.Format("command 0x%02x:", packet.mCommand) + HexBytes(packet, 0);

    const int status = packet.mData[0];
    text.Format("answer 0x%02x status %d%s", packet.mCommand, status, status ? " (refused)" : "");
    if (status == 0 && packet.mCommand == CKdCmdPacket::kCmdResParameter) {
        text += requested >= 0 ? LString().Format(": from %ld:", requested) : LString(":");
        text += HexBytes(packet, 1);
    } else if (status == 0 && packet.mCommand == CKdCmdPacket::kCmdResVersion && length == 9) {
        text += LString().Format(": versions %04x %04x %04x %04x", Word(packet, 1), Word(packet, 3),
                                 Word(packet, 5), Word(packet, 7));
    }
    return text;
}
