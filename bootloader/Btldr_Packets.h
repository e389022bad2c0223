#ifndef BTLDR_PACKETS_H
#define BTLDR_PACKETS_H

/* Bootloader command packets: 0x01, command (or status in an answer), 16-bit data length, data,
 * 16-bit checksum over everything before it, 0x17. Numbers are little-endian.
 *
 * Every builder writes its packet into buffer (large enough for it, at most
 * BTLDR_MAX_PACKET_SIZE), stores the packet's size and the size of the answer to read, and
 * returns BTLDR_SUCCESS. Every checker takes the answer and the number of bytes received; it
 * stores the status byte (0 on success) and the answer's data and returns a result code. The
 * answer's checksum is not checked. */

#include "Btldr_Codes.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    BTLDR_CHECKSUM_SUM = 0, /* two's complement of the 16-bit byte sum, low byte first */
    BTLDR_CHECKSUM_CRC = 1  /* CRC-16/X-25, high byte first */
};

/* The checksum type of every packet built from now on; any other value counts as summation. */
void Btldr_SetCheckSumType(uint8_t type);
/* The checksum of the current type over size bytes, as the value whose low byte goes first. */
uint16_t Btldr_ComputeChecksum(const uint8_t* buffer, unsigned long size);

unsigned Btldr_CreateEnterBootLoaderCmd(uint8_t* buffer, unsigned long* size,
                                        unsigned long* answerSize);
unsigned Btldr_CreateExitBootLoaderCmd(uint8_t* buffer, unsigned long* size,
                                       unsigned long* answerSize);
unsigned Btldr_CreateProgramRowCmd(uint8_t arrayId, uint16_t rowNum, const uint8_t* data,
                                   uint16_t dataSize, uint8_t* buffer, unsigned long* size,
                                   unsigned long* answerSize);
unsigned Btldr_CreateVerifyRowCmd(uint8_t arrayId, uint16_t rowNum, uint8_t* buffer,
                                  unsigned long* size, unsigned long* answerSize);
unsigned Btldr_CreateEraseRowCmd(uint8_t arrayId, uint16_t rowNum, uint8_t* buffer,
                                 unsigned long* size, unsigned long* answerSize);
unsigned Btldr_CreateVerifyChecksumCmd(uint8_t* buffer, unsigned long* size,
                                       unsigned long* answerSize);
unsigned Btldr_CreateGetFlashSizeCmd(uint8_t arrayId, uint8_t* buffer, unsigned long* size,
                                     unsigned long* answerSize);
unsigned Btldr_CreateSendDataCmd(const uint8_t* data, uint16_t dataSize, uint8_t* buffer,
                                 unsigned long* size, unsigned long* answerSize);
unsigned Btldr_CreateGetAppStatusCmd(uint8_t appId, uint8_t* buffer, unsigned long* size,
                                     unsigned long* answerSize);
unsigned Btldr_CreateSetActiveAppCmd(uint8_t appId, uint8_t* buffer, unsigned long* size,
                                     unsigned long* answerSize);

/* Answers without data. */
unsigned Btldr_ParseDefaultCmdResult(const uint8_t* answer, unsigned long size, uint8_t* status);
unsigned Btldr_ParseProgramRowCmdResult(const uint8_t* answer, unsigned long size, uint8_t* status);
unsigned Btldr_ParseEraseRowCmdResult(const uint8_t* answer, unsigned long size, uint8_t* status);
unsigned Btldr_ParseSendDataCmdResult(const uint8_t* answer, unsigned long size, uint8_t* status);
unsigned Btldr_ParseSetActiveAppCmdResult(const uint8_t* answer, unsigned long size,
                                          uint8_t* status);
/* Answers with data. */
unsigned Btldr_ParseEnterBootLoaderCmdResult(const uint8_t* answer, unsigned long size,
                                             uint32_t* siliconId, uint8_t* siliconRev,
                                             uint32_t* bootloaderVersion, uint8_t* status);
unsigned Btldr_ParseVerifyRowCmdResult(const uint8_t* answer, unsigned long size,
                                       uint8_t* rowChecksum, uint8_t* status);
unsigned Btldr_ParseVerifyChecksumCmdResult(const uint8_t* answer, unsigned long size,
                                            uint8_t* checksumValid, uint8_t* status);
unsigned Btldr_ParseGetFlashSizeCmdResult(const uint8_t* answer, unsigned long size,
                                          uint16_t* startRow, uint16_t* endRow, uint8_t* status);
unsigned Btldr_ParseGetAppStatusCmdResult(const uint8_t* answer, unsigned long size,
                                          uint8_t* appValid, uint8_t* appActive, uint8_t* status);

#ifdef __cplusplus
}
#endif

#endif
