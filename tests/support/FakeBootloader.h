#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

// Stands for the USB controller's bootloader: takes one command packet at a time, checks its
// framing and checksum, and answers as the device does. Rows are kept in memory; Verify Row
// answers the two's complement of the 8-bit sum of the row's stored data bytes.
class FakeBootloader {
public:
    using Bytes = std::vector<uint8_t>;

    struct Array {
        uint16_t first = 0;
        uint16_t last = 0;
    };

    uint32_t siliconId = 0x2E123069;
    uint8_t siliconRev = 0x11;
    uint32_t version = 0x010214;
    std::map<uint8_t, Array> arrays = {{0, {0, 255}}};
    uint8_t appValidity = 0; // 0 = valid
    uint8_t appActive = 0;
    bool crc = false;                  // checksum type of the host's packets
    std::map<uint8_t, uint8_t> refuse; // command -> status answered instead
    int corruptRow = -1;               // this row number verifies wrong

    std::vector<Bytes> packets;     // every packet received, as it came
    std::map<uint32_t, Bytes> rows; // array << 16 | row -> stored data
    int checksumErrors = 0;

    // The answer to one packet; empty when the command is not answered.
    Bytes Handle(const Bytes& packet) {
        packets.push_back(packet);
        if (packet.size() < 7 || packet[0] != 0x01 || packet.back() != 0x17) return Answer(3);
        const size_t length = packet[2] | packet[3] << 8;
        if (packet.size() != length + 7) return Answer(3);
        const uint16_t sent = crc ? packet[4 + length] << 8 | packet[5 + length]
                                  : packet[4 + length] | packet[5 + length] << 8;
        if (sent != Checksum(packet.data(), 4 + length)) {
            ++checksumErrors;
            return Answer(0x0A);
        }
        const uint8_t command = packet[1];
        const Bytes data(packet.begin() + 4, packet.begin() + 4 + length);
        if (refuse.count(command)) return Answer(refuse[command]);
        switch (command) {
        case 0x38:
            return Answer(0, {uint8_t(siliconId), uint8_t(siliconId >> 8), uint8_t(siliconId >> 16),
                              uint8_t(siliconId >> 24), siliconRev, uint8_t(version),
                              uint8_t(version >> 8), uint8_t(version >> 16)});
        case 0x3B:
            exited = true;
            return {};
        case 0x32: {
            const Array array = arrays.count(data.at(0)) ? arrays[data[0]] : Array{};
            return Answer(0, {uint8_t(array.first), uint8_t(array.first >> 8), uint8_t(array.last),
                              uint8_t(array.last >> 8)});
        }
        case 0x33:
            return Answer(0, {appValidity, appActive});
        case 0x36:
            appActive = 1;
            return Answer(0);
        case 0x37:
            pending.insert(pending.end(), data.begin(), data.end());
            return Answer(0);
        case 0x39: {
            Bytes& row = rows[Key(data)];
            row = pending;
            row.insert(row.end(), data.begin() + 3, data.end());
            pending.clear();
            return Answer(0);
        }
        case 0x34:
            rows.erase(Key(data));
            return Answer(0);
        case 0x3A: {
            uint8_t sum = 0;
            for (uint8_t byte : rows[Key(data)])
                sum += byte;
            const int row = data.at(1) | data.at(2) << 8;
            return Answer(0, {uint8_t(-sum + (row == corruptRow ? 1 : 0))});
        }
        case 0x31:
            return Answer(0, {uint8_t(appValidity == 0)});
        }
        return Answer(0x05);
    }

    bool exited = false;

    // Packets received with this command code.
    std::vector<Bytes> PacketsOf(uint8_t command) const {
        std::vector<Bytes> found;
        for (const Bytes& packet : packets)
            if (packet.size() > 1 && packet[1] == command) found.push_back(packet);
        return found;
    }

    static Bytes Answer(uint8_t status, const Bytes& data = {}) {
        Bytes answer = {0x01, status, uint8_t(data.size()), uint8_t(data.size() >> 8)};
        answer.insert(answer.end(), data.begin(), data.end());
        uint16_t sum = 0;
        for (uint8_t byte : answer)
            sum += byte;
        sum = uint16_t(-sum);
        answer.insert(answer.end(), {uint8_t(sum), uint8_t(sum >> 8), 0x17});
        return answer;
    }

private:
    static uint32_t Key(const Bytes& data) {
        return data.at(0) << 16 | data.at(1) | data.at(2) << 8;
    }

    uint16_t Checksum(const uint8_t* bytes, size_t size) const {
        if (crc) {
            uint16_t value = 0xFFFF;
            for (size_t i = 0; i < size; ++i) {
                value ^= bytes[i];
                for (int bit = 0; bit < 8; ++bit)
                    value = value & 1 ? (value >> 1) ^ 0x8408 : value >> 1;
            }
            return uint16_t(~value);
        }
        uint16_t sum = 0;
        for (size_t i = 0; i < size; ++i)
            sum += bytes[i];
        return uint16_t(-sum);
    }

    Bytes pending;
};
