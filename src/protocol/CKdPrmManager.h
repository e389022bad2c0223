#pragma once

#include "CKdCmdPacket.h"
#include "CKdCmdParser.h"
#include "LObjPtr_.h"
#include "LPrmManager.h"
#include "LPrmObserverList.h"
#include "LStream.h"
#include "LString.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

// The session with one switcher: the parameter manager for the switcher's catalogue, bound to
// one byte stream. It sends command packets, feeds every received byte to its parser, stores
// what the switcher reports, sends every local edit and drives the observers from Service().
//
// Origin argument: bit 0 set means the value came from the switcher (or is part of a text that
// is sent as a whole) and is not sent back.
class CKdPrmManager : public LPrmManager, public CKdCmdParser::Delegate {
public:
    // One entry of a request list; a list ends with the first entry whose count is below 1.
    struct _SPrmReqInfo {
        int64_t mPrmID; // first identifier
        int32_t mCount; // identifiers (bytes) to read
    };

    // The four versions, each formatted by FormatVersion.
    struct _SVersionInfo {
        LString mSoftware;
        LString mFPGA;
        LString mUSB;
        LString mPHY;
    };

    // What a write observer is told about one set packet.
    enum class EWrite { Sent, Accepted, Refused };
    // Told of every set packet (a value, a piece of a text, an execute identifier): when it was
    // written to the stream, and when the switcher's answer to it arrived.
    using WriteObserver = std::function<void(long id, EWrite what)>;

    // SendCmdPacket results.
    enum : int { kSendOK = 0, kSendFailed = 1, kSendTimeout = 2 };

    // Origin bit of values that came from the switcher (or are sent as part of a text).
    static constexpr long kOriginHost = 1;

    // Waits in milliseconds.
    static constexpr int kVersionWaitMs = 200;
    static constexpr int kRequestWaitMs = 1000;
    // The longest wait for room to write a packet that waits for no answer.
    static constexpr int kWriteWaitMs = 1000;
    // How long a sequence number whose answer did not come in time stays unused (unless its
    // answer arrives first), so that a late answer cannot pass for the answer to a later request.
    static constexpr int kLateAnswerMs = 10000;
    // Identifiers asked for by one parameter request.
    static constexpr int kMaxRequestCount = 12;
    // Characters sent by one text packet.
    static constexpr int kMaxTextPiece = 32;

    CKdPrmManager();
    ~CKdPrmManager() override;

    // Binds the session to a stream (null detaches): resets parser, sequence counter and
    // request table, goes offline and asks for the versions.
    void SetDeviceStream(LStream* stream);
    LStream* DeviceStream() const { return mStream; }
    // Online once a valid version response arrived; while offline asks again (200 ms wait).
    bool IsOnline();
    void VersionReceived() { mOnline = true; }

    // The text under which the pages show a parameter or an execute identifier; null if none.
    static const char* PrmLabel(long id);

    // Returns the current sequence number and advances it; 255 is followed by 1. Numbers whose
    // answer is overdue (see kLateAnswerMs) are passed over while others are free.
    virtual int CmdSequence();
    CKdCmdPacket MakeCmdPacket(int command);
    // Writes the whole packet, waiting for room up to the wait (kWriteWaitMs without one);
    // kSendFailed when it cannot be written. With a wait, then waits for the answer with its
    // sequence number, decoding everything that arrives meanwhile: the wait restarts with every
    // chunk that arrives but ends at twice its length after the send. kSendOK, kSendFailed or
    // kSendTimeout.
    virtual int SendCmdPacket(const CKdCmdPacket& packet, int waitMs);
    // Requests count identifiers from id in requests of at most 12; true when all were answered.
    virtual bool RequestParameter(long id, int count, int waitMs);
    // Requests every entry of a list (1000 ms each) and stops at the first failure.
    bool RequestParameters(const _SPrmReqInfo* list, int waitMs);
    // Requests every entry of a list as RequestParameters does, in the same order and with the
    // same wait, but without waiting here: each request goes out once the answer to the one
    // before has been decoded (by Service or by any wait for an answer), and Service ends the
    // reading at the first request whose wait has passed. done is called once when the reading
    // ends, unless CancelReading came first; a new stream ends every reading. Readings started
    // together take turns. The reading's ticket (above 0), or 0 when the list requests nothing.
    int ReadParameters(const _SPrmReqInfo* list, std::function<void()> done);
    // Ends a reading without calling its done; an answer already on its way is still stored.
    void CancelReading(int ticket);
    bool IsReading(int ticket) const;
    // The first identifier requested with this sequence number, once; -1 otherwise.
    int ReqPrmAdrs(int sequence);

    // Store values reported by the switcher (origin 1, no range check, not sent back).
    bool SetValueByHost(long id, int value);
    bool SetValueByHost(long id, const void* bytes, int count);

    // Commands without a wait; nothing is stored. True when the packet was written.
    bool SendExecPacket(long id, int value);
    bool SendRoiPackets(long id, const void* bytes, int count);

    // One observer of the writes (an empty one: none).
    void SetWriteObserver(WriteObserver observer) { mWriteObserver = std::move(observer); }

    // Reads whatever the stream holds into the parser, then lets the observers check.
    virtual void Service();
    virtual void DeviceStreamChanged();
    virtual CKdCmdParser* KdCmdParser() { return &mParser; }

    static LString FormatVersion(int word);
    _SVersionInfo VersionInfo() const;

    // LPrmManager
    bool SetStringValue(long id, const char* text, int count, long step, long origin) override;
    void ValueChanged(long id, int value, long origin) override;
    bool PrmInfo(long id, _SPrmInfo& info) override;
    bool RangeInfo(int range, _SRangeInfo& info) override;
    LPrmObserverList* ObserverListWithObserver(LPrmObserver* observer) override;

    // CKdCmdParser::Delegate: ends the wait for the pending sequence number.
    void PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) override;

    // Accepts 0 and 32..127, moves anything else into 32..127.
    static bool PrmCheckerNAME(int& value);

protected:
    // Describers of the catalogue's spans; PrmInfo asks them in this order.
    // clang-format off
    bool PrmInfoINPUT(long id, _SPrmInfo& info)   { return DescribePrm(id, 102, 123, info); }
    bool PrmInfoSTILL(long id, _SPrmInfo& info)   { return DescribePrm(id, 130, 138, info); }
    bool PrmInfoAUDIO(long id, _SPrmInfo& info)   { return DescribePrm(id, 140, 160, info); }
    bool PrmInfoROI(long id, _SPrmInfo& info)     { return DescribePrm(id, 170, 199, info); }
    bool PrmInfoROIPRST(long id, _SPrmInfo& info) { return DescribePrm(id, 320, 396, info); }
    bool PrmInfoMIXEFX(long id, _SPrmInfo& info)  { return DescribePrm(id, 200, 296, info); }
    bool PrmInfoOUTPUT(long id, _SPrmInfo& info)  { return DescribePrm(id, 300, 313, info); }
    bool PrmInfoSYSTEM(long id, _SPrmInfo& info)  { return DescribePrm(id, 401, 423, info); }
    bool PrmInfoERRDET(long id, _SPrmInfo& info)  { return DescribePrm(id, 430, 442, info); }
    bool PrmInfoSNTP(long id, _SPrmInfo& info)    { return DescribePrm(id, 500, 516, info); }
    bool PrmInfoSNMP(long id, _SPrmInfo& info)    { return DescribePrm(id, 600, 893, info); }
    bool PrmInfoOTHERS(long id, _SPrmInfo& info)  { return DescribePrm(id, 900, 1000, info); }
    // clang-format on

    // Stores the initial value of every parameter of the catalogue.
    void InitParameters();

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kPrmDataSize = 1001; // identifiers 0..1000

    // Describes id from the catalogue when it lies in first..last; inline, so that PrmInfo's walk
    // over the spans stays a row of comparisons.
    bool DescribePrm(long id, long first, long last, _SPrmInfo& info) {
        return id >= first && id <= last && DescribeRow(id, info);
    }
    bool DescribeRow(long id, _SPrmInfo& info);
    // Reads and feeds one chunk of up to 32 bytes; the read's result.
    ssize_t ReadIntoParser();
    // Writes every byte of the packet, waiting for room until the deadline.
    bool WritePacket(const CKdCmdPacket& packet, Clock::time_point deadline);
    // A request packet (command 0x10) for count identifiers from id, entered in the request table.
    CKdCmdPacket MakeRequestPacket(long id, int count);
    // Sends the next request of the readings in turn, ending those that have no more or whose
    // request cannot be written; nothing while a request is out.
    void SendNextReading();
    // Ends the first reading and calls its done.
    void EndFirstReading();
    // Moves on after the answer to the reading's request or once its wait has passed.
    void CheckReading();
    // Sends command 0x20 with the identifier and the given bytes, without a wait.
    bool SendSetPacket(long id, const void* bytes, int count);

    bool mOnline = false;
    LObjPtr_<LStream> mStream;
    int32_t mNextSequence = 1;
    int32_t mPendingSequence = -1;
    uint8_t mPrmData[kPrmDataSize] = {}; // values by identifier, 16-bit ones over two bytes
    CKdCmdParser mParser;
    int32_t mReqPrmTable[256];
    // The identifier and count each set packet wrote, by sequence number; a stored parameter's
    // (count 1 or more) is read back when refused. Identifier 0: no set packet.
    std::array<_SPrmReqInfo, 256> mSetPrmTable{};
    std::array<Clock::time_point, 256> mLateUntil{}; // by sequence number; past: free
    LPrmObserverList mObserverList;
    WriteObserver mWriteObserver;

    struct SReading {
        int mTicket;
        std::vector<_SPrmReqInfo> mRequests; // of at most kMaxRequestCount identifiers each
        size_t mNext;                        // the request that goes out next
        std::function<void()> mDone;
    };
    std::deque<SReading> mReadings;  // the first one's request is out while mReadingSequence >= 0
    int32_t mReadingSequence = -1;   // the request awaiting its answer
    bool mReadingAnswered = false;   // its answer has been decoded
    Clock::time_point mReadingSent;  // when it went out
    Clock::time_point mReadingHeard; // when the last chunk arrived since then
    int32_t mNextTicket = 1;
};
