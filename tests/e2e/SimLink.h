#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The application's end of the command link: the pseudo-terminal's slave side, raw.
class SimLink {
public:
    struct Frame {
        uint8_t command = 0;
        uint8_t sequence = 0;
        std::vector<uint8_t> data;
    };

    explicit SimLink(const std::string& tty);
    ~SimLink();
    SimLink(const SimLink&) = delete;
    SimLink& operator=(const SimLink&) = delete;

    // Sends a request with the next sequence number and returns the next frame, skipping bytes
    // before "M" "V"; nothing when no frame or one with another sequence number comes in time.
    std::optional<Frame> Transact(uint8_t command, const std::vector<uint8_t>& data = {},
                                  int timeoutMs = 1000);
    // The status byte of the answer to a request (its code + 0x80), or -1 without one.
    int Status(uint8_t command, const std::vector<uint8_t>& data = {}, int timeoutMs = 1000);
    // Reads count bytes from id (command 0x10); empty when refused or unanswered.
    std::vector<uint8_t> Read(int id, int count);
    // Writes bytes from id (command 0x20); the answer's status, or -1 without an answer.
    int Write(int id, const std::vector<uint8_t>& bytes);
    // Whether the other side goes (hang-up or read error) before timeoutMs pass without a byte.
    bool HungUp(int timeoutMs);
    // Bytes skipped while looking for frames.
    size_t SkippedBytes() const { return mSkipped; }

private:
    bool ReadByte(uint8_t& byte, int timeoutMs);

    int mFd = -1;
    uint8_t mSequence = 0;
    size_t mSkipped = 0;
};
