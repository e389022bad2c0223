// Feeds arbitrary companion datagrams through the remote event interpreter, the operation executor
// and the remote parameter editor, against an in-process switcher that stores what it is sent and
// answers read-backs from that memory.
//
// Input: byte 0 bit 0 set: the switcher answers read-backs (else every read-back times out at
// once); then datagrams separated by line feeds.

#include "CKdPrmManager.h"
#include "CKdRemoteExecutor.h"
#include "CKdRemoteInterpreter.h"
#include "LStream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

// The switcher's side of the link without a descriptor: each written packet is taken at once;
// set packets are stored, version and parameter requests are answered into the read buffer.
class Switcher : public LStream {
public:
    explicit Switcher(bool answering) : mAnswering(answering) {
        for (size_t k = 0; k < sizeof mMemory; ++k)
            mMemory[k] = static_cast<uint8_t>(k * 7);
    }

    bool IsOpened() const override { return true; }
    bool WaitReadable(int timeoutMs) override { return mReadAt < mPending.size(); }
    ssize_t Write(const void* bytes, unsigned long count) override {
        const auto* packet = static_cast<const uint8_t*>(bytes);
        // The session writes whole packets: "M" "V", command, sequence, length, data.
        if (count < 5 || packet[0] != 'M' || packet[1] != 'V' || count != 5u + packet[4]) abort();
        const uint8_t* data = packet + 5;
        const int id = packet[4] >= 2 ? data[0] | data[1] << 8 : -1;
        switch (packet[2]) {
        case 0x15:
            Answer(0x95, packet[3], {0, 1, 0, 2, 0, 3, 0, 4, 0});
            break;
        case 0x10:
            if (mAnswering && packet[4] == 3) {
                std::vector<uint8_t> answer = {0};
                for (int k = 0; k < data[2] && id + k < kMemorySize; ++k)
                    answer.push_back(mMemory[id + k]);
                Answer(0x90, packet[3], answer);
            }
            break;
        case 0x20:
            for (int k = 2; k < packet[4] && id + k - 2 < kMemorySize; ++k)
                mMemory[id + k - 2] = data[k];
            break;
        default:
            abort(); // the remote operations send nothing else
        }
        return static_cast<ssize_t>(count);
    }
    ssize_t Read(void* bytes, unsigned long count) override {
        const size_t n = std::min<size_t>(count, mPending.size() - mReadAt);
        std::memcpy(bytes, mPending.data() + mReadAt, n);
        mReadAt += n;
        if (mReadAt == mPending.size()) mPending.clear(), mReadAt = 0;
        return static_cast<ssize_t>(n);
    }

private:
    static constexpr int kMemorySize = 1001;

    void Answer(uint8_t command, uint8_t sequence, const std::vector<uint8_t>& data) {
        mPending.insert(mPending.end(), {'M', 'V', command, sequence, uint8_t(data.size())});
        mPending.insert(mPending.end(), data.begin(), data.end());
    }

    bool mAnswering;
    uint8_t mMemory[kMemorySize];
    std::vector<uint8_t> mPending;
    size_t mReadAt = 0;
};

// A reply line is "id:name:value unit:percentage" for a row of the edit table.
void CheckReply(const char* text) {
    const std::string_view reply(text);
    const size_t colon = reply.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 4) abort();
    const int id = std::atoi(text);
    if (CKdRemoteEditor::GetRemoteEditPrm(id, 0).mPrmID != id) abort();
    if (reply.rfind(':') == reply.size() - 1) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    auto* switcher = new Switcher(data[0] & 1);
    auto* session = new CKdPrmManager();
    session->SetDeviceStream(switcher);
    LObject::ReleaseObject(switcher);

    CKdRemoteExecutor executor(CheckReply);
    CKdRemoteInterpreter interpreter([&](int32_t eventNum, int64_t dataNum) {
        executor.ReceiveData(session, eventNum, dataNum);
    });
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    for (size_t start = 0; start <= input.size();) {
        const size_t end = std::min(input.find('\n', start), input.size());
        const std::string_view datagram = input.substr(start, end - start);
        const int32_t eventBefore = interpreter.EventNum();
        const int64_t dataBefore = interpreter.DataNum();
        // An ignored datagram leaves the last event in place.
        if (!interpreter.Receive(datagram.data(), datagram.size()) &&
            (interpreter.EventNum() != eventBefore || interpreter.DataNum() != dataBefore))
            abort();
        start = end + 1;
    }
    session->SetDeviceStream(nullptr);
    LObject::ReleaseObject(session);
    return 0;
}
