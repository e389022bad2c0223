#include "SimHidPort.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

SimHidPort::SimHidPort(LPollRunLoop& loop, SimBootloader& bootloader, int latencyMs,
                       std::function<void()> onExit)
    : mLoop(loop), mBootloader(bootloader), mLatencyMs(latencyMs), mOnExit(std::move(onExit)) {}

bool SimHidPort::Open(const std::string& name, SimRecord::_SInfo info, std::string& error) {
    Close();
    mPath = SimRecord::Directory() + "/" + name + ".sock";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (mPath.size() >= sizeof address.sun_path) {
        error = "socket path too long: " + mPath;
        return false;
    }
    std::memcpy(address.sun_path, mPath.c_str(), mPath.size());
    unlink(mPath.c_str());
    mListener = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (mListener < 0 || bind(mListener, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
        listen(mListener, 1)) {
        error = "cannot listen on " + mPath + ": " + std::strerror(errno);
        Close();
        return false;
    }
    mListenerSource = mLoop.AddSource(mListener, [this] { Accept(); });
    info.socket = mPath;
    info.tty.clear();
    if (!mRecord.Publish(name, info, error)) {
        Close();
        return false;
    }
    return true;
}

void SimHidPort::Close() {
    mRecord.Remove();
    Hangup();
    if (mListenerSource) mLoop.RemoveSource(mListenerSource);
    mListenerSource = 0;
    if (mListener >= 0) close(mListener);
    mListener = -1;
    if (!mPath.empty()) unlink(mPath.c_str());
    mPath.clear();
}

void SimHidPort::Accept() {
    const int connection = accept4(mListener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (connection < 0) return;
    if (mConnection >= 0) { // one host at a time
        close(connection);
        return;
    }
    mConnection = connection;
    mConnectionSource = mLoop.AddSource(mConnection, [this] { Receive(); });
}

void SimHidPort::Receive() {
    uint8_t report[128];
    const ssize_t length = recv(mConnection, report, sizeof report, MSG_TRUNC);
    if (length < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (length <= 0) return Hangup();                         // the host closed the device
    if (length > static_cast<ssize_t>(sizeof report)) return; // not a report of this device
    const std::vector<uint8_t> answer = mBootloader.Handle(report, static_cast<size_t>(length));
    if (mBootloader.TakeExitRequest()) mOnExit();
    if (answer.empty()) return;
    if (mLatencyMs == 0) {
        send(mConnection, answer.data(), answer.size(), MSG_NOSIGNAL);
        return;
    }
    mLoop.AddTimer(mLatencyMs, [this, answer, connections = mConnections] {
        if (mConnection >= 0 && connections == mConnections)
            send(mConnection, answer.data(), answer.size(), MSG_NOSIGNAL);
    });
}

void SimHidPort::Hangup() {
    if (mConnectionSource) mLoop.RemoveSource(mConnectionSource);
    mConnectionSource = 0;
    if (mConnection >= 0) close(mConnection);
    mConnection = -1;
    ++mConnections;
}
