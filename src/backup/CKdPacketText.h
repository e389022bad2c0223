#pragma once

#include "CKdCmdPacket.h"
#include "LString.h"

// Command packets in words, for the trace and for messages: "request 102 (2)", "set 218: ff",
// "answer 0x90 status 0: from 102: 00 01".
class CKdPacketText {
public:
    // requested: the first identifier asked for by the request that a parameter answer belongs
    // to, or -1 when not known.
    static LString Describe(const CKdCmdPacket& packet, long requested = -1);
};
