#include "CKdPrmManager.h"

#include "CKdPrmCatalogue.h"
#include "CPrmConverterVerInfo.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

namespace {
using Catalogue = CKdPrmCatalogue;
using PrmInfo = LPrmManager::_SPrmInfo;

// Storage access by catalogue type: width, getter, setter.
struct SAccess {
    int32_t mWidth;
    LPrmManager::Getter mGetter;
    LPrmManager::Setter mSetter;
};
constexpr SAccess kAccess[] = {
    /* kU8  */ {1, &LPrmManager::Getter_<unsigned char>, &LPrmManager::Setter_<unsigned char>},
    /* kS8  */ {1, &LPrmManager::Getter_<signed char>, &LPrmManager::Setter_<signed char>},
    /* kU16 */ {2, &LPrmManager::Getter_<unsigned short>, &LPrmManager::Setter_<unsigned short>},
    /* kS16 */ {2, &LPrmManager::Getter_<short>, &LPrmManager::Setter_<short>},
};

// Ranges by index: minimum, maximum and checker as three parallel tables. Index 0 is read-only,
// index 52 holds the characters of a text; all others clamp.
constexpr int kRangeCount = 53;
// clang-format off
constexpr int32_t kRangeMin[kRangeCount] = {
         0,      0,      0,      0,      0,    -50,    -90,      0,      0,      0,  //  0- 9
         0,      0,      0,      0,      0,      0,    768,  -1920,  -1080,      0,  // 10-19
         0,      0,      0,      0,      0,      0,      0,      0,      0,      0,  // 20-29
         0,      0,      0,      0,      0,      0,      0,      0,      0,      0,  // 30-39
         0,      0,    100,      0,      0,      1,      1,      0,      0,    -48,  // 40-49
       -96,   -128,      0,                                                          // 50-52
};
constexpr int32_t kRangeMax[kRangeCount] = {
         0,      1,    100,    127,    255,     50,     90,    180,   4095,      4,  //  0- 9
         5,      1,      3,      7,      1,    120,   3840,   1920,   1080,      5,  // 10-19
        60,      6,      4,      4,      1,      2,      2,      4,      2,      2,  // 20-29
         1,      4,      3,     60,      3,      5,      3,     13,      1,      1,  // 30-39
         2,   1375,   2350,      6,      2,     12,     31,     23,     59,     52,  // 40-49
         0,    127,    127,                                                          // 50-52
};
// clang-format on
constexpr auto kRangeChecker = [] {
    std::array<LPrmManager::Checker, kRangeCount> checker{};
    checker[0] = &LPrmManager::PrmCheckerREADONLY;
    checker[52] = &CKdPrmManager::PrmCheckerNAME;
    return checker;
}();

// Parameters whose top value the switcher encodes as 255.
struct SWireOff {
    long mPrmID;
    int mTop;
};
constexpr SWireOff kWireOff[] = {{218, 2}, {220, 4}, {239, 2}, {240, 2}, {250, 4}};
constexpr int kWireOffValue = 255;

const SWireOff* FindWireOff(long id) {
    for (const SWireOff& entry : kWireOff)
        if (entry.mPrmID == id) return &entry;
    return nullptr;
}

int FromWire(long id, int value) {
    const SWireOff* off = FindWireOff(id);
    return off && value >= off->mTop ? off->mTop : value;
}

int ToWire(long id, int value) {
    const SWireOff* off = FindWireOff(id);
    return off && value >= off->mTop ? kWireOffValue : value;
}

} // namespace

CKdPrmManager::CKdPrmManager() : mParser(this) {
    std::fill(std::begin(mReqPrmTable), std::end(mReqPrmTable), -1);
    InitParameters();
}

CKdPrmManager::~CKdPrmManager() = default;

const char* CKdPrmManager::PrmLabel(long id) {
    return Catalogue::Label(id);
}

// Catalogue

bool CKdPrmManager::PrmInfo(long id, _SPrmInfo& info) {
    return PrmInfoINPUT(id, info) || PrmInfoSTILL(id, info) || PrmInfoAUDIO(id, info) ||
           PrmInfoROI(id, info) || PrmInfoROIPRST(id, info) || PrmInfoMIXEFX(id, info) ||
           PrmInfoOUTPUT(id, info) || PrmInfoSYSTEM(id, info) || PrmInfoERRDET(id, info) ||
           PrmInfoSNTP(id, info) || PrmInfoSNMP(id, info) || PrmInfoOTHERS(id, info);
}

bool CKdPrmManager::DescribeRow(long id, _SPrmInfo& info) {
    const Catalogue::_SPrmRow* row = Catalogue::FindRow(id);
    if (!row) return false;
    const SAccess& access = kAccess[row->mType];
    if (id + access.mWidth > kPrmDataSize) return false;
    info.mStorage = &mPrmData[id];
    info.mWidth = access.mWidth;
    info.mRange = row->mRange;
    info.mInitValue = Catalogue::InitValue(*row, id);
    info.mGetter = access.mGetter;
    info.mSetter = access.mSetter;
    return true;
}

bool CKdPrmManager::RangeInfo(int range, _SRangeInfo& info) {
    if (range < 0 || range >= kRangeCount) return false;
    info.mMin = kRangeMin[range];
    info.mMax = kRangeMax[range];
    info.mChecker = kRangeChecker[range];
    return true;
}

bool CKdPrmManager::PrmCheckerNAME(int& value) {
    if (value != 0) value = std::clamp(value, 32, 127);
    return true;
}

void CKdPrmManager::InitParameters() {
    for (const Catalogue::_SPrmRow& row : Catalogue::Rows())
        for (int k = 0; k < row.mCount; ++k)
            InitValue(row.mPrmID + k * Catalogue::Width(row.mType));
}

LPrmObserverList* CKdPrmManager::ObserverListWithObserver(LPrmObserver* observer) {
    return &mObserverList;
}

// Session

void CKdPrmManager::SetDeviceStream(LStream* stream) {
    if (stream == mStream.Get()) return;
    mStream = stream;
    mNextSequence = 1;
    mParser.SetDelegate(this);
    mParser.ResetPhase();
    DeviceStreamChanged();
}

void CKdPrmManager::DeviceStreamChanged() {
    mOnline = false;
    std::fill(std::begin(mReqPrmTable), std::end(mReqPrmTable), -1);
    // Answers to requests sent before are no longer taken: the readings end.
    mReadingSequence = -1;
    for (SReading& reading : std::exchange(mReadings, {}))
        if (reading.mDone) reading.mDone();
    mSetPrmTable.fill({});
    SendCmdPacket(MakeCmdPacket(CKdCmdPacket::kCmdReqVersion), kVersionWaitMs);
}

bool CKdPrmManager::IsOnline() {
    if (!mOnline) DeviceStreamChanged();
    return mOnline;
}

int CKdPrmManager::CmdSequence() {
    const Clock::time_point now = Clock::now();
    int sequence = mNextSequence;
    for (int tries = 1; tries < 255 && mLateUntil[sequence] > now; ++tries)
        sequence = sequence >= 255 ? 1 : sequence + 1;
    mNextSequence = sequence >= 255 ? 1 : sequence + 1;
    return sequence;
}

CKdCmdPacket CKdPrmManager::MakeCmdPacket(int command) {
    return CKdCmdPacket(command, CmdSequence());
}

int CKdPrmManager::SendCmdPacket(const CKdCmdPacket& packet, int waitMs) {
    if (!mStream) return kSendFailed;
    const Clock::time_point sent = Clock::now();
    const auto ms = [](int count) { return std::chrono::milliseconds(count); };
    if (!WritePacket(packet, sent + ms(waitMs > 0 ? waitMs : kWriteWaitMs))) return kSendFailed;
    if (waitMs == 0) return kSendOK;
    // Every packet that arrives meanwhile is decoded. The wait restarts with each chunk, so that
    // an answer that is arriving is taken, but a busy line cannot hold the caller longer than
    // twice the wait.
    const Clock::time_point deadline = sent + 2 * ms(waitMs);
    mPendingSequence = packet.mSequence;
    while (mPendingSequence >= 0) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (!mStream || left.count() <= 0 ||
            !mStream->WaitReadable(std::min<int>(waitMs, int(left.count())))) {
            mPendingSequence = -1;
            mLateUntil[packet.mSequence] = Clock::now() + ms(kLateAnswerMs);
            return kSendTimeout;
        }
        if (ReadIntoParser() < 1) {
            mPendingSequence = -1;
            return kSendFailed;
        }
    }
    return kSendOK;
}

bool CKdPrmManager::WritePacket(const CKdCmdPacket& packet, Clock::time_point deadline) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(packet.Bytes());
    for (int written = 0; written < packet.WireSize();) {
        const ssize_t count = mStream->Write(bytes + written, packet.WireSize() - written);
        if (count > 0) {
            written += int(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd entry{mStream->WriteDescriptor(), POLLOUT, 0};
        if (left.count() <= 0 || entry.fd < 0 || poll(&entry, 1, int(left.count())) <= 0 ||
            !(entry.revents & POLLOUT))
            return false;
    }
    return true;
}

ssize_t CKdPrmManager::ReadIntoParser() {
    uint8_t chunk[32];
    const ssize_t count = mStream->Read(chunk, sizeof chunk);
    if (count < 1) return count;
    mReadingHeard = Clock::now();
    mParser.ParseData(chunk, count);
    if (mReadingAnswered) CheckReading();
    return count;
}

void CKdPrmManager::PacketCompleted(CKdCmdParser* parser, const CKdCmdPacket& packet) {
    if (packet.mSequence == mPendingSequence) mPendingSequence = -1;
    // The reading moves on once the parser has stored the answer (see ReadIntoParser).
    if (packet.mSequence == mReadingSequence) mReadingAnswered = true;
    mLateUntil[packet.mSequence] = {}; // the overdue answer came: its number is free again
    if (packet.mCommand != (CKdCmdPacket::kCmdSetParameter | CKdCmdPacket::kResponse)) return;
    const _SPrmReqInfo written = std::exchange(mSetPrmTable[packet.mSequence], {});
    const bool accepted = packet.mLength >= 1 && packet.mData[0] == 0;
    if (written.mPrmID > 0 && mWriteObserver)
        mWriteObserver(long(written.mPrmID), accepted ? EWrite::Accepted : EWrite::Refused);
    if (written.mCount < 1 || accepted) return;
    // The switcher refused the write and kept its own values: read them back without waiting,
    // so that no view goes on showing a value the switcher does not hold.
    SendCmdPacket(MakeRequestPacket(written.mPrmID, written.mCount), 0);
}

CKdCmdPacket CKdPrmManager::MakeRequestPacket(long id, int count) {
    CKdCmdPacket packet = MakeCmdPacket(CKdCmdPacket::kCmdReqParameter);
    mReqPrmTable[packet.mSequence] = static_cast<int32_t>(id);
    packet.Append(id);
    packet.Append(id >> 8);
    packet.Append(count);
    return packet;
}

bool CKdPrmManager::RequestParameter(long id, int count, int waitMs) {
    while (count >= 1) {
        const int n = std::min(count, kMaxRequestCount);
        if (SendCmdPacket(MakeRequestPacket(id, n), waitMs) != kSendOK) return false;
        count -= n;
        id += n;
    }
    return true;
}

bool CKdPrmManager::RequestParameters(const _SPrmReqInfo* list, int waitMs) {
    if (!list) return false;
    // Every request waits the standard time, whatever the caller passes.
    for (; list->mCount >= 1; ++list)
        if (!RequestParameter(list->mPrmID, list->mCount, kRequestWaitMs)) return false;
    return true;
}

int CKdPrmManager::ReadParameters(const _SPrmReqInfo* list, std::function<void()> done) {
    std::vector<_SPrmReqInfo> requests; // split as RequestParameter splits them
    for (; list && list->mCount >= 1; ++list)
        for (int sent = 0; sent < list->mCount; sent += kMaxRequestCount)
            requests.push_back(
                {list->mPrmID + sent, std::min(list->mCount - sent, kMaxRequestCount)});
    if (requests.empty()) return 0;
    const int ticket = mNextTicket++;
    mReadings.push_back({ticket, std::move(requests), 0, std::move(done)});
    SendNextReading();
    return ticket;
}

void CKdPrmManager::CancelReading(int ticket) {
    const auto reading = std::find_if(mReadings.begin(), mReadings.end(),
                                      [ticket](const SReading& r) { return r.mTicket == ticket; });
    if (reading == mReadings.end()) return;
    const bool first = reading == mReadings.begin();
    mReadings.erase(reading);
    if (!first) return;
    mReadingSequence = -1;
    SendNextReading();
}

bool CKdPrmManager::IsReading(int ticket) const {
    return std::any_of(mReadings.begin(), mReadings.end(),
                       [ticket](const SReading& r) { return r.mTicket == ticket; });
}

void CKdPrmManager::SendNextReading() {
    // A done handler may start or cancel readings: the loop re-checks after each.
    while (mReadingSequence < 0 && !mReadings.empty()) {
        SReading& reading = mReadings.front();
        if (reading.mNext >= reading.mRequests.size()) {
            EndFirstReading();
            continue;
        }
        const _SPrmReqInfo request = reading.mRequests[reading.mNext++];
        const CKdCmdPacket packet = MakeRequestPacket(request.mPrmID, request.mCount);
        if (SendCmdPacket(packet, 0) != kSendOK) {
            EndFirstReading();
            continue;
        }
        mReadingSequence = packet.mSequence;
        mReadingAnswered = false;
        mReadingSent = mReadingHeard = Clock::now();
    }
}

void CKdPrmManager::EndFirstReading() {
    std::function<void()> done = std::move(mReadings.front().mDone);
    mReadings.pop_front();
    mReadingSequence = -1;
    if (done) done();
}

void CKdPrmManager::CheckReading() {
    if (mReadingSequence < 0) return;
    if (mReadingAnswered) {
        mReadingSequence = -1;
    } else {
        // The wait of SendCmdPacket: restarted by every chunk, never past twice its length.
        const auto wait = std::chrono::milliseconds(kRequestWaitMs);
        const Clock::time_point now = Clock::now();
        if (now - mReadingHeard < wait && now - mReadingSent < 2 * wait) return;
        mLateUntil[mReadingSequence] = now + std::chrono::milliseconds(kLateAnswerMs);
        EndFirstReading(); // a request without answer ends its reading, as in RequestParameters
    }
    SendNextReading();
}

int CKdPrmManager::ReqPrmAdrs(int sequence) {
    if (sequence < 0 || sequence >= static_cast<int>(std::size(mReqPrmTable))) return -1;
    const int id = mReqPrmTable[sequence];
    mReqPrmTable[sequence] = -1; // each answer is accepted once
    return id;
}

bool CKdPrmManager::SetValueByHost(long id, int value) {
    _SPrmInfo info;
    if (!PrmInfo(id, info)) return false;
    return WriteValue(id, info, FromWire(id, value), kOriginHost);
}

bool CKdPrmManager::SetValueByHost(long id, const void* bytes, int count) {
    if (!bytes) return false;
    const auto* data = static_cast<const uint8_t*>(bytes);
    bool stored = false;
    for (int p = 0; p < count; ++p, ++id) {
        _SPrmInfo info;
        _SRangeInfo range;
        if (!PrmInfo(id, info) || !RangeInfo(info.mRange, range)) continue; // unknown: skipped
        const bool isWord = info.mWidth == 2;
        if (isWord && p + 1 >= count) break; // the upper byte is missing
        int value = isWord ? data[p] | data[p + 1] << 8 : data[p];
        if (range.mMin < 0)
            value = isWord ? static_cast<int16_t>(value) : static_cast<int8_t>(value);
        stored |= WriteValue(id, info, FromWire(id, value), kOriginHost);
        if (isWord) { // the value used two bytes and two identifiers
            ++p;
            ++id;
        }
    }
    return stored;
}

void CKdPrmManager::ValueChanged(long id, int value, long origin) {
    _SPrmInfo info;
    if (!(origin & kOriginHost) && PrmInfo(id, info) && info.mWidth >= 1) {
        const int wire = ToWire(id, value);
        const uint8_t bytes[] = {static_cast<uint8_t>(wire), static_cast<uint8_t>(wire >> 8)};
        SendSetPacket(id, bytes, std::min<int>(info.mWidth, sizeof bytes));
    }
    mObserverList.SetDirty();
}

bool CKdPrmManager::SetStringValue(long id, const char* text, int count, long step, long origin) {
    if (count < 1) return true;
    // The run is consecutive identifiers, as the base writes it; step is not used.
    auto readRun = [&] {
        std::vector<uint8_t> run(count);
        for (int k = 0; k < count; ++k)
            run[k] = static_cast<uint8_t>(Value(id + k, origin));
        return run;
    };
    const std::vector<uint8_t> before = readRun();
    LPrmManager::SetStringValue(id, text, count, step, origin | kOriginHost);
    const std::vector<uint8_t> after = readRun();
    if (after == before) return true;
    for (int offset = 0; offset < count; offset += kMaxTextPiece)
        SendSetPacket(id + offset, after.data() + offset, std::min(kMaxTextPiece, count - offset));
    return true;
}

bool CKdPrmManager::SendSetPacket(long id, const void* bytes, int count) {
    CKdCmdPacket packet = MakeCmdPacket(CKdCmdPacket::kCmdSetParameter);
    packet.Append(id);
    packet.Append(id >> 8);
    if (bytes) packet.Append(bytes, count);
    // Only a stored parameter is read back when refused: an execute identifier has no value.
    _SPrmInfo info;
    const int written = packet.mLength - 2;
    mSetPrmTable[packet.mSequence] = {id, PrmInfo(id, info) && written >= 1 ? written : 0};
    if (SendCmdPacket(packet, 0) != kSendOK) return false;
    if (mWriteObserver) mWriteObserver(id, EWrite::Sent);
    return true;
}

bool CKdPrmManager::SendExecPacket(long id, int value) {
    const auto byte = static_cast<uint8_t>(value);
    return SendSetPacket(id, &byte, 1);
}

bool CKdPrmManager::SendRoiPackets(long id, const void* bytes, int count) {
    return SendSetPacket(id, bytes, count); // the packet keeps as many bytes as fit
}

void CKdPrmManager::Service() {
    // Reads until the stream holds no more; the stream may be taken away by a packet handler.
    while (mStream && mStream->WaitReadable(0) && ReadIntoParser() > 0) {
    }
    CheckReading();
    mObserverList.Service();
}

LString CKdPrmManager::FormatVersion(int word) {
    return CPrmConverterVerInfo::FormatVersion(word);
}

CKdPrmManager::_SVersionInfo CKdPrmManager::VersionInfo() const {
    auto version = [this](long id) {
        uint16_t word;
        std::memcpy(&word, &mPrmData[id], sizeof word);
        return FormatVersion(word);
    };
    return {version(990), version(992), version(994), version(996)};
}
