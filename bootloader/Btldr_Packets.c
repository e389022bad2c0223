#include "Btldr_Packets.h"

#include <string.h>

enum {
    kStartByte = 0x01,
    kEndByte = 0x17,
    kFrameSize = 7, /* start, code, length (2), checksum (2), end */
    kNoAnswer = 0
};

/* Command codes, and the data length of each answer; an answer is kFrameSize + that length. */
/* clang-format off */
enum {
    kCmdVerifyChecksum  = 0x31, kAnswerVerifyChecksum  = 1, /* application checksum valid */
    kCmdGetFlashSize    = 0x32, kAnswerGetFlashSize    = 4, /* first row, last row */
    kCmdGetAppStatus    = 0x33, kAnswerGetAppStatus    = 2, /* validity, active flag */
    kCmdEraseRow        = 0x34,
    kCmdSetActiveApp    = 0x36,
    kCmdSendData        = 0x37,
    kCmdEnterBootLoader = 0x38, kAnswerEnterBootLoader = 8, /* silicon ID, revision, version */
    kCmdProgramRow      = 0x39,
    kCmdVerifyRow       = 0x3A, kAnswerVerifyRow       = 1, /* the row's stored checksum */
    kCmdExitBootLoader  = 0x3B,
    kAnswerNone = 0
};
/* clang-format on */

static unsigned long AnswerSize(unsigned dataSize) {
    return kFrameSize + dataSize;
}

static uint8_t g_checksumType = BTLDR_CHECKSUM_SUM;

void Btldr_SetCheckSumType(uint8_t type) {
    g_checksumType = type;
}

static uint16_t Crc16X25(const uint8_t* buffer, unsigned long size) {
    uint16_t crc = 0xFFFF;
    for (unsigned long i = 0; i < size; ++i) {
        crc ^= buffer[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? (uint16_t)((crc >> 1) ^ 0x8408u) : (uint16_t)(crc >> 1);
    }
    return (uint16_t)~crc;
}

uint16_t Btldr_ComputeChecksum(const uint8_t* buffer, unsigned long size) {
    if (g_checksumType == BTLDR_CHECKSUM_CRC) {
        const uint16_t crc = Crc16X25(buffer, size);
        return (uint16_t)((crc >> 8) | (crc << 8)); /* the CRC travels high byte first */
    }
    uint16_t sum = 0;
    for (unsigned long i = 0; i < size; ++i)
        sum = (uint16_t)(sum + buffer[i]);
    return (uint16_t)(0x10000u - sum);
}

/* Writes one packet from its parts: head bytes of the data (array ID, row), then the payload.
 * answer is the size of the answer to read. */
static unsigned BuildPacket(uint8_t code, const uint8_t* head, unsigned headSize,
                            const uint8_t* payload, uint16_t payloadSize, unsigned long answer,
                            uint8_t* buffer, unsigned long* size, unsigned long* answerSize) {
    const unsigned long dataSize = (unsigned long)headSize + payloadSize;
    buffer[0] = kStartByte;
    buffer[1] = code;
    buffer[2] = (uint8_t)dataSize;
    buffer[3] = (uint8_t)(dataSize >> 8);
    if (headSize) memcpy(buffer + 4, head, headSize);
    if (payloadSize) memcpy(buffer + 4 + headSize, payload, payloadSize);
    const uint16_t checksum = Btldr_ComputeChecksum(buffer, 4 + dataSize);
    buffer[4 + dataSize] = (uint8_t)checksum;
    buffer[5 + dataSize] = (uint8_t)(checksum >> 8);
    buffer[6 + dataSize] = kEndByte;
    *size = kFrameSize + dataSize;
    *answerSize = answer;
    return BTLDR_SUCCESS;
}

unsigned Btldr_CreateEnterBootLoaderCmd(uint8_t* buffer, unsigned long* size,
                                        unsigned long* answerSize) {
    return BuildPacket(kCmdEnterBootLoader, NULL, 0, NULL, 0, AnswerSize(kAnswerEnterBootLoader),
                       buffer, size, answerSize);
}

unsigned Btldr_CreateExitBootLoaderCmd(uint8_t* buffer, unsigned long* size,
                                       unsigned long* answerSize) {
    const uint8_t reserved = 0;
    return BuildPacket(kCmdExitBootLoader, &reserved, 1, NULL, 0, kNoAnswer, buffer, size,
                       answerSize);
}

unsigned Btldr_CreateProgramRowCmd(uint8_t arrayId, uint16_t rowNum, const uint8_t* data,
                                   uint16_t dataSize, uint8_t* buffer, unsigned long* size,
                                   unsigned long* answerSize) {
    const uint8_t head[] = {arrayId, (uint8_t)rowNum, (uint8_t)(rowNum >> 8)};
    return BuildPacket(kCmdProgramRow, head, sizeof head, data, dataSize, AnswerSize(kAnswerNone),
                       buffer, size, answerSize);
}

unsigned Btldr_CreateVerifyRowCmd(uint8_t arrayId, uint16_t rowNum, uint8_t* buffer,
                                  unsigned long* size, unsigned long* answerSize) {
    const uint8_t head[] = {arrayId, (uint8_t)rowNum, (uint8_t)(rowNum >> 8)};
    return BuildPacket(kCmdVerifyRow, head, sizeof head, NULL, 0, AnswerSize(kAnswerVerifyRow),
                       buffer, size, answerSize);
}

unsigned Btldr_CreateEraseRowCmd(uint8_t arrayId, uint16_t rowNum, uint8_t* buffer,
                                 unsigned long* size, unsigned long* answerSize) {
    const uint8_t head[] = {arrayId, (uint8_t)rowNum, (uint8_t)(rowNum >> 8)};
    return BuildPacket(kCmdEraseRow, head, sizeof head, NULL, 0, AnswerSize(kAnswerNone), buffer,
                       size, answerSize);
}

unsigned Btldr_CreateVerifyChecksumCmd(uint8_t* buffer, unsigned long* size,
                                       unsigned long* answerSize) {
    return BuildPacket(kCmdVerifyChecksum, NULL, 0, NULL, 0, AnswerSize(kAnswerVerifyChecksum),
                       buffer, size, answerSize);
}

unsigned Btldr_CreateGetFlashSizeCmd(uint8_t arrayId, uint8_t* buffer, unsigned long* size,
                                     unsigned long* answerSize) {
    return BuildPacket(kCmdGetFlashSize, &arrayId, 1, NULL, 0, AnswerSize(kAnswerGetFlashSize),
                       buffer, size, answerSize);
}

unsigned Btldr_CreateSendDataCmd(const uint8_t* data, uint16_t dataSize, uint8_t* buffer,
                                 unsigned long* size, unsigned long* answerSize) {
    return BuildPacket(kCmdSendData, NULL, 0, data, dataSize, AnswerSize(kAnswerNone), buffer, size,
                       answerSize);
}

unsigned Btldr_CreateGetAppStatusCmd(uint8_t appId, uint8_t* buffer, unsigned long* size,
                                     unsigned long* answerSize) {
    return BuildPacket(kCmdGetAppStatus, &appId, 1, NULL, 0, AnswerSize(kAnswerGetAppStatus),
                       buffer, size, answerSize);
}

unsigned Btldr_CreateSetActiveAppCmd(uint8_t appId, uint8_t* buffer, unsigned long* size,
                                     unsigned long* answerSize) {
    return BuildPacket(kCmdSetActiveApp, &appId, 1, NULL, 0, AnswerSize(kAnswerNone), buffer, size,
                       answerSize);
}

/* Checks an answer in this order: its size, its status, its framing. On success its data starts
 * at answer + 4. */
static unsigned CheckAnswer(const uint8_t* answer, unsigned long size, unsigned dataSize,
                            uint8_t* status) {
    if (size != kFrameSize + dataSize) return BTLDR_ERR_LENGTH;
    if (answer[1] != 0) {
        *status = answer[1];
        return BTLDR_ERR_STATUS | answer[1];
    }
    if (answer[0] != kStartByte || (answer[2] | answer[3] << 8) != (int)dataSize ||
        answer[size - 1] != kEndByte)
        return BTLDR_ERR_DATA;
    *status = 0;
    return BTLDR_SUCCESS;
}

unsigned Btldr_ParseDefaultCmdResult(const uint8_t* answer, unsigned long size, uint8_t* status) {
    return CheckAnswer(answer, size, kAnswerNone, status);
}

unsigned Btldr_ParseProgramRowCmdResult(const uint8_t* answer, unsigned long size,
                                        uint8_t* status) {
    return Btldr_ParseDefaultCmdResult(answer, size, status);
}

unsigned Btldr_ParseEraseRowCmdResult(const uint8_t* answer, unsigned long size, uint8_t* status) {
    return Btldr_ParseDefaultCmdResult(answer, size, status);
}

unsigned Btldr_ParseSendDataCmdResult(const uint8_t* answer, unsigned long size, uint8_t* status) {
    return Btldr_ParseDefaultCmdResult(answer, size, status);
}

unsigned Btldr_ParseSetActiveAppCmdResult(const uint8_t* answer, unsigned long size,
                                          uint8_t* status) {
    return Btldr_ParseDefaultCmdResult(answer, size, status);
}

unsigned Btldr_ParseEnterBootLoaderCmdResult(const uint8_t* answer, unsigned long size,
                                             uint32_t* siliconId, uint8_t* siliconRev,
                                             uint32_t* bootloaderVersion, uint8_t* status) {
    const unsigned err = CheckAnswer(answer, size, kAnswerEnterBootLoader, status);
    if (err) return err;
    const uint8_t* data = answer + 4;
    *siliconId = (uint32_t)data[0] | (uint32_t)data[1] << 8 | (uint32_t)data[2] << 16 |
                 (uint32_t)data[3] << 24;
    *siliconRev = data[4];
    *bootloaderVersion = (uint32_t)data[5] | (uint32_t)data[6] << 8 | (uint32_t)data[7] << 16;
    return BTLDR_SUCCESS;
}

unsigned Btldr_ParseVerifyRowCmdResult(const uint8_t* answer, unsigned long size,
                                       uint8_t* rowChecksum, uint8_t* status) {
    const unsigned err = CheckAnswer(answer, size, kAnswerVerifyRow, status);
    if (!err) *rowChecksum = answer[4];
    return err;
}

unsigned Btldr_ParseVerifyChecksumCmdResult(const uint8_t* answer, unsigned long size,
                                            uint8_t* checksumValid, uint8_t* status) {
    const unsigned err = CheckAnswer(answer, size, kAnswerVerifyChecksum, status);
    if (!err) *checksumValid = answer[4];
    return err;
}

unsigned Btldr_ParseGetFlashSizeCmdResult(const uint8_t* answer, unsigned long size,
                                          uint16_t* startRow, uint16_t* endRow, uint8_t* status) {
    const unsigned err = CheckAnswer(answer, size, kAnswerGetFlashSize, status);
    if (err) return err;
    *startRow = (uint16_t)(answer[4] | answer[5] << 8);
    *endRow = (uint16_t)(answer[6] | answer[7] << 8);
    return BTLDR_SUCCESS;
}

unsigned Btldr_ParseGetAppStatusCmdResult(const uint8_t* answer, unsigned long size,
                                          uint8_t* appValid, uint8_t* appActive, uint8_t* status) {
    const unsigned err = CheckAnswer(answer, size, kAnswerGetAppStatus, status);
    if (err) return err;
    *appValid = answer[4];
    *appActive = answer[5];
    return BTLDR_SUCCESS;
}
