#include "SimLink.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    return std::max(0, static_cast<int>(left.count()));
}
} // namespace

SimLink::SimLink(const std::string& tty) {
    mFd = open(tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings{};
    if (mFd >= 0 && tcgetattr(mFd, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(mFd, TCSANOW, &settings);
    }
}

SimLink::~SimLink() {
    if (mFd >= 0) close(mFd);
}

bool SimLink::SendBytes(const std::vector<uint8_t>& bytes) {
    return mFd >= 0 && write(mFd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
}

bool SimLink::Send(uint8_t command, uint8_t sequence, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes = {'M', 'V', command, sequence, uint8_t(data.size())};
    bytes.insert(bytes.end(), data.begin(), data.end());
    return SendBytes(bytes);
}

bool SimLink::ReadByte(uint8_t& byte, int timeoutMs) {
    pollfd fd{mFd, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0 || !(fd.revents & POLLIN)) return false;
    return read(mFd, &byte, 1) == 1;
}

std::optional<SimLink::Frame> SimLink::Receive(int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    uint8_t byte = 0, previous = 0;
    size_t taken = 0;
    while (!(previous == 'M' && byte == 'V')) {
        previous = byte;
        if (!ReadByte(byte, MsLeft(end))) return std::nullopt;
        ++taken;
    }
    mSkipped += taken - 2;
    Frame frame;
    uint8_t length = 0;
    if (!ReadByte(frame.command, MsLeft(end)) || !ReadByte(frame.sequence, MsLeft(end)) ||
        !ReadByte(length, MsLeft(end)))
        return std::nullopt;
    frame.data.resize(length);
    for (auto& b : frame.data)
        if (!ReadByte(b, MsLeft(end))) return std::nullopt;
    return frame;
}

std::optional<SimLink::Frame> SimLink::Transact(uint8_t command, const std::vector<uint8_t>& data,
                                                int timeoutMs) {
    const uint8_t sequence = ++mSequence ? mSequence : ++mSequence;
    if (!Send(command, sequence, data)) return std::nullopt;
    auto frame = Receive(timeoutMs);
    if (frame && frame->sequence != sequence) return std::nullopt;
    return frame;
}

std::vector<uint8_t> SimLink::Read(int id, int count) {
    const auto answer = Transact(0x10, {uint8_t(id), uint8_t(id >> 8), uint8_t(count)});
    if (!answer || answer->command != 0x90 || answer->Status() != 0) return {};
    return {answer->data.begin() + 1, answer->data.end()};
}

int SimLink::Write(int id, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> data = {uint8_t(id), uint8_t(id >> 8)};
    data.insert(data.end(), bytes.begin(), bytes.end());
    const auto answer = Transact(0x20, data);
    return answer && answer->command == 0xA0 ? answer->Status() : -1;
}

bool SimLink::HungUp(int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    uint8_t byte;
    do {
        pollfd fd{mFd, POLLIN, 0};
        if (poll(&fd, 1, MsLeft(end)) > 0) {
            if (fd.revents & (POLLHUP | POLLERR)) return true;
            const ssize_t n = read(mFd, &byte, 1);
            if (n == 0 || (n < 0 && errno != EAGAIN)) return true;
        }
    } while (MsLeft(end) > 0);
    return false;
}
