#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

// Reads the companion's event texts ("KeyDown:call:ROI3:[2]", "Rotate:enc:1:210:0:-2", ...) and
// packs each accepted one into an event number (kind in bits 16-19, action group in bits 12-15,
// item below and, for some groups, above) and a data number (up to eight argument bytes).
// Words are compared exactly; anything outside the vocabulary is dropped without a trace.
class CKdRemoteInterpreter {
public:
    using Receiver = std::function<void(int32_t eventNum, int64_t dataNum)>;

    explicit CKdRemoteInterpreter(Receiver receiver) : mReceiver(std::move(receiver)) {}

    // Interprets one datagram's payload. An accepted event replaces eventNum and dataNum and goes
    // to the receiver; true then. Anything else leaves both as they were.
    bool Receive(const void* bytes, size_t count);
    int32_t EventNum() const { return eventNum; }
    int64_t DataNum() const { return dataNum; }

    // The numbers of one event text; false when the text is no accepted event: not UTF-8, an
    // unknown word, or fewer fields than its action reads.
    static bool Interpret(std::string_view text, int32_t& eventNum, int64_t& dataNum);

private:
    Receiver mReceiver;
    int32_t eventNum = 0;
    int64_t dataNum = 0;
};
