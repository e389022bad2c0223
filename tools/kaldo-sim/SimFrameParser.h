#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// One frame of the command link: "M" "V", command, sequence, length, data.
struct SimFrame {
    uint8_t command = 0;
    uint8_t sequence = 0;
    std::vector<uint8_t> data;

    // The frame as it goes on the wire (data beyond 255 bytes is not representable).
    std::vector<uint8_t> Bytes() const;
};

// Assembles frames from the bytes the application writes. Bytes outside a frame are skipped
// until the next "M" "V"; a frame keeps every data byte its length announces.
class SimFrameParser {
public:
    using Handler = std::function<void(const SimFrame&)>;

    explicit SimFrameParser(Handler onFrame) : mOnFrame(std::move(onFrame)) {}

    void Feed(const uint8_t* bytes, size_t count);
    void Reset();

private:
    enum class Phase { Header1, Header2, Command, Sequence, Length, Data };

    void Take(uint8_t byte);
    void Complete();

    Handler mOnFrame;
    Phase mPhase = Phase::Header1;
    size_t mExpected = 0;
    SimFrame mFrame;
};
