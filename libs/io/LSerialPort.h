#pragma once

#include "LFile.h"

#include <sys/stat.h>
#include <termios.h>

// A serial device node as a byte stream: opened exclusively (a second opener fails, in this or
// another process), without becoming the controlling terminal, non-blocking, and raw 8N1 at the
// stored speed. A read returns after at most a tenth of a second. Only the nodes a switcher can
// be reached on are opened: a pseudo-terminal's slave side or a USB serial node (ACM or
// USB-serial), and never a terminal this process talks to its user on.
class LSerialPort : public virtual LFile {
public:
    enum class ENodeKind {
        Accepted,
        NotSerial,   // not a character device, or another kind of one
        OwnTerminal, // the controlling terminal, or the terminal of a standard descriptor
    };
    // What the node that info describes (from stat) is to a serial port.
    static ENodeKind NodeKind(const struct stat& info);

    explicit LSerialPort(const char* path);
    ~LSerialPort() override;

    // (Re)opens the node, locks it, claims it with TIOCEXCL, applies MakeTermios and discards
    // whatever input was waiting (an earlier user's late answers). On any failure the port is
    // closed and the result is false; a node that is not Accepted fails with ENOTTY, a character
    // device without being opened.
    bool Open() override;
    // Gives up the terminal's exclusive flag (it belongs to the terminal, not to this
    // descriptor, and would refuse every later opener but root) before closing.
    void Close() override;
    void FlushReadData() override;
    void FlushWriteData() override;
    void DrainWriteData() override;
    // Stores the speed for the next Open; on an open port also applies it once pending output
    // has been sent, and is false for a speed the terminal does not know or when that fails.
    virtual bool SetSpeed(int bitsPerSecond);
    // The current settings of the open port made raw 8N1 at the stored speed.
    virtual bool MakeTermios(termios& settings);

    int Speed() const { return mSpeed; }

private:
    int32_t mSpeed = 9600;
    bool mExclusive = false; // this port set the terminal's exclusive flag
};
