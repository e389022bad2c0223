#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

// Reads the companion's event texts ("KeyDown:call:ROI3:[2]", "Rotate:enc:1:210:0:-2", ...) and
// packs each accepted one into an event number (kind in bits 16-19, action group in bits 12-15,
// item below and, for some groups, above) and a data number (up to eight argument bytes).
// Words are compared exactly; anything outside the vocabulary is dropped without a trace.
// Numbers are plain decimal integers ("-12"), each within its field's range; one field out of
// place refuses the whole text, so that nothing of it reaches the switcher.
class CKdRemoteInterpreter {
public:
    using Receiver = std::function<void(int32_t eventNum, int64_t dataNum)>;

    // The bulk settings "pinp", "split" and "alpha": the parameter that each integer field sets,
    // from field 2 on. Field 2 is packed into bits 0-7 of the event number, field 3 into bits
    // 24-31, the others into the data number's bytes from the lowest up.
    struct _SBulkLayout {
        uint32_t mGroup;
        std::span<const int16_t> mFieldPrmIDs;
    };
    static const _SBulkLayout* BulkLayout(uint32_t group);

    explicit CKdRemoteInterpreter(Receiver receiver) : mReceiver(std::move(receiver)) {}

    // Interprets one datagram's payload. An accepted event replaces eventNum and dataNum and goes
    // to the receiver; true then. Anything else leaves both as they were (why, when given, says
    // what was wrong).
    bool Receive(const void* bytes, size_t count, std::string* why = nullptr);
    int32_t EventNum() const { return eventNum; }
    int64_t DataNum() const { return dataNum; }

    // The numbers of one event text; false when the text is no accepted event: not UTF-8, an
    // unknown word, fewer fields than its action reads, or a number that is no plain integer or
    // lies outside its field's range. why (when given) then tells which field and why.
    static bool Interpret(std::string_view text, int32_t& eventNum, int64_t& dataNum,
                          std::string* why = nullptr);

private:
    Receiver mReceiver;
    int32_t eventNum = 0;
    int64_t dataNum = 0;
};
