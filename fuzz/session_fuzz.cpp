// Feeds arbitrary switcher output to a device session over a socket pair: framing, decoding,
// storing, the observers and the edits they cause.
//
// Input: byte 0 holds the number of parameter requests (bits 0-2) and whether they wait for their
// answers (bit 3); then 3 bytes per request (identifier low, high, count modulo 25); the rest is
// what the switcher sends. The session's version request is answered beforehand with sequence 1, so
// the requests get the sequence numbers 2, 3, ...

#include "CKdPrmManager.h"
#include "LPrmConverters.h"
#include "LPrmObserverBridge.h"
#include "ScriptedPeer.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace {

// A view stand-in: shows every change through converters, reads a received text back as typed
// input and mirrors some values into other parameters, as edits that go back to the switcher.
class View : public LPrmObserverBridge::Delegate {
public:
    void valueUpdated(LPrmObserverBridge* bridge) override {
        CKdPrmManager* session = static_cast<CKdPrmManager*>(bridge->PrmManager());
        if (!session) return;
        const int value = bridge->Value(0);
        gPrmConverterAudioLevel.PrmValueToString(value);
        gPrmConverterSNTPZone.PrmValueToString(value);
        gPrmConverterInFormat.PrmValueToString(value);
        gPrmConverterVerInfo.PrmValueToString(value);
        switch (bridge->PrmID()) {
        case 141:
            session->SetValue(151, value + 1, 0);
            break;
        case 218:
            session->SetValue(220, value * 3, 0);
            break;
        case 620: {
            const LString text = session->StringValue(620, 64, 1, 0);
            gPrmConverterFloat01.StringToPrmValue(text);
            gPrmConverterSNTPYear.StringToPrmValue(text);
            session->SetStringValue(930, text, 16, 1, 0);
            break;
        }
        default:
            break;
        }
    }
};

constexpr long kWatched[] = {141, 180, 182, 218, 516, 620, 990};
constexpr uint8_t kVersionAnswer[] = {'M', 'V', 0x95, 1, 9, 0, 1, 0, 2, 0, 3, 0, 4, 0};

void Drain(int fd) {
    uint8_t sink[4096];
    while (read(fd, sink, sizeof sink) > 0) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int requests = data[0] & 7;
    const bool wait = data[0] & 8;
    size_t at = 1;
    if (size < at + 3 * requests) return 0;

    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    const int peer = fds[1];

    auto* session = new CKdPrmManager();
    View view;
    LPrmObserverBridge* bridges[std::size(kWatched)];
    for (size_t i = 0; i < std::size(kWatched); ++i) {
        bridges[i] = new LPrmObserverBridge();
        bridges[i]->Setup(session, kWatched[i], &view);
    }

    write(peer, kVersionAnswer, sizeof kVersionAnswer);
    auto* stream = new ScriptedPeer::SocketStream(fds[0]);
    session->SetDeviceStream(stream);
    LObject::ReleaseObject(stream);

    const uint8_t* request = data + at;
    at += 3 * requests;
    if (!wait) {
        for (int i = 0; i < requests; ++i, request += 3)
            session->RequestParameter(request[0] | request[1] << 8, request[2] % 25, 0);
    }
    write(peer, data + at, size - at);
    if (wait) {
        for (int i = 0; i < requests; ++i, request += 3)
            session->RequestParameter(request[0] | request[1] << 8, request[2] % 25, 1);
    }
    session->Service();
    Drain(peer);

    LObject::ReleaseObject(session);
    for (LPrmObserverBridge* bridge : bridges)
        LObject::ReleaseObject(bridge);
    close(peer);
    return 0;
}
