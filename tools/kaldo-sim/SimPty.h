#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A raw pseudo-terminal whose slave side stands for the switcher's serial port. The simulator
// keeps a slave descriptor of its own open, so the master sees no hang-up while the
// application closes and reopens the port.
class SimPty {
public:
    SimPty() = default;
    ~SimPty() { Close(); }
    SimPty(const SimPty&) = delete;
    SimPty& operator=(const SimPty&) = delete;

    bool Open(std::string& error);
    void Close();

    int MasterFd() const { return mMaster; }
    const std::string& SlavePath() const { return mSlavePath; }
    // Bytes the application wrote; 0 when there are none now, -1 on failure.
    long Read(uint8_t* buffer, size_t size);
    // Writes everything, or drops what the terminal cannot take (as a full line would).
    bool Write(const std::vector<uint8_t>& bytes);

private:
    int mMaster = -1;
    int mSlave = -1;
    std::string mSlavePath;
};
