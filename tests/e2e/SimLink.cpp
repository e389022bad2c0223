#include "SimLink.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// The simulator has made the terminal raw already.
SimLink::SimLink(const std::string& tty)
    : mFd(open(tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}

SimLink::~SimLink() {
    if (mFd >= 0) close(mFd);
}

bool SimLink::ReadByte(uint8_t& byte, int timeoutMs) {
    pollfd fd{mFd, POLLIN, 0};
    return poll(&fd, 1, timeoutMs) > 0 && (fd.revents & POLLIN) && read(mFd, &byte, 1) == 1;
}

std::optional<SimLink::Frame> SimLink::Transact(uint8_t command, const std::vector<uint8_t>& data,
                                                int timeoutMs) {
    const uint8_t sequence = ++mSequence ? mSequence : ++mSequence;
    std::vector<uint8_t> bytes = {'M', 'V', command, sequence, uint8_t(data.size())};
    bytes.insert(bytes.end(), data.begin(), data.end());
    if (mFd < 0 || write(mFd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
        return std::nullopt;

    uint8_t previous = 0, byte = 0, length = 0;
    for (; !(previous == 'M' && byte == 'V'); ++mSkipped) {
        previous = byte;
        if (!ReadByte(byte, timeoutMs)) return std::nullopt;
    }
    mSkipped -= 2; // the header itself
    Frame frame;
    if (!ReadByte(frame.command, timeoutMs) || !ReadByte(frame.sequence, timeoutMs) ||
        !ReadByte(length, timeoutMs))
        return std::nullopt;
    frame.data.resize(length);
    for (auto& b : frame.data)
        if (!ReadByte(b, timeoutMs)) return std::nullopt;
    if (frame.sequence != sequence) return std::nullopt;
    return frame;
}

int SimLink::Status(uint8_t command, const std::vector<uint8_t>& data, int timeoutMs) {
    const auto answer = Transact(command, data, timeoutMs);
    if (!answer || answer->command != (command | 0x80) || answer->data.empty()) return -1;
    return answer->data[0];
}

std::vector<uint8_t> SimLink::Read(int id, int count) {
    const auto answer = Transact(0x10, {uint8_t(id), uint8_t(id >> 8), uint8_t(count)});
    if (!answer || answer->command != 0x90 || answer->data.empty() || answer->data[0] != 0)
        return {};
    return {answer->data.begin() + 1, answer->data.end()};
}

int SimLink::Write(int id, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> data = {uint8_t(id), uint8_t(id >> 8)};
    data.insert(data.end(), bytes.begin(), bytes.end());
    return Status(0x20, data);
}

bool SimLink::HungUp(int timeoutMs) {
    pollfd fd{mFd, POLLIN, 0};
    uint8_t byte;
    while (poll(&fd, 1, timeoutMs) > 0) {
        if (fd.revents & (POLLHUP | POLLERR)) return true;
        const ssize_t n = read(mFd, &byte, 1);
        if (n == 0 || (n < 0 && errno != EAGAIN)) return true;
    }
    return false;
}
