#pragma once

#include "CKdCmdPacket.h"

#include <cstdint>

class CKdPrmManager;

// Turns the byte stream received from the switcher back into packets. Every completed packet goes
// to the delegate; parameter and version responses are then decoded into the manager.
class CKdCmdParser {
public:
    class Delegate {
    public:
        virtual ~Delegate();
        virtual void PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) {}
    };

    explicit CKdCmdParser(CKdPrmManager* manager);
    virtual ~CKdCmdParser();

    void SetDelegate(Delegate* delegate) { mDelegate = delegate; }
    Delegate* GetDelegate() const { return mDelegate; }

    // Drops a partial packet and waits for the next "M".
    void ResetPhase();
    void ParseData(int byte);
    void ParseData(const void* bytes, unsigned long count);

    // Tells the delegate, then decodes parameter and version responses.
    virtual void PacketCompleted(const CKdCmdPacket& packet);
    void HandleResParameter(const CKdCmdPacket& packet);
    void HandleResVersion(const CKdCmdPacket& packet);

    // True when the status byte is 0 and, for a non-negative expectedLength, the length matches.
    static bool IsResponseValid(const CKdCmdPacket& packet, int expectedLength);

private:
    enum Phase : int32_t { kWaitM, kWaitV, kCommand, kSequence, kLength, kData };

    void CompletePacket();

    Delegate* mDelegate = nullptr;
    CKdPrmManager* mPrmManager;
    int32_t mPhase = kWaitM;
    int32_t mRemaining = 0; // data bytes still expected
    CKdCmdPacket mPacket{0, 0};
};
