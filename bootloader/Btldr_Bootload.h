#ifndef BTLDR_BOOTLOAD_H
#define BTLDR_BOOTLOAD_H

/* Bootload operations against a transport. One operation runs at a time in the process: it is
 * started by Btldr_StartBootloadOperation (or Btldr_RunAction) and ended by
 * Btldr_EndBootloadOperation. A transport failure t is returned as BTLDR_ERR_COMM | t, a
 * non-zero status s of the bootloader as BTLDR_ERR_STATUS | s. */

#include "Btldr_Codes.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The transport: each function returns 0 on success. ReadData fills size bytes of answer;
 * WriteData sends size bytes as one packet; MaxTransferSize is the largest packet it carries. */
typedef struct {
    int (*OpenConnection)(void);
    int (*CloseConnection)(void);
    int (*ReadData)(uint8_t* buffer, int size);
    int (*WriteData)(uint8_t* buffer, int size);
    unsigned int MaxTransferSize;
} Btldr_CommIf;

enum { BTLDR_ACTION_PROGRAM = 0, BTLDR_ACTION_ERASE = 1, BTLDR_ACTION_VERIFY = 2 };

/* Called after each row that an action handled without error. */
typedef void (*Btldr_RowCallback)(uint8_t arrayId, uint16_t rowNum);

/* Opens the transport, enters the bootloader and checks the device's identity (BTLDR_ERR_DEVICE)
 * and the bootloader's major version 1 (BTLDR_ERR_VERSION). */
unsigned Btldr_StartBootloadOperation(const Btldr_CommIf* comm, uint32_t expectedSiliconId,
                                      uint8_t expectedSiliconRev, uint32_t* bootloaderVersion);
/* Sends Exit Bootloader (no answer is read) and closes the transport; nothing without an
 * operation in progress. The operation has ended in every case. */
unsigned Btldr_EndBootloadOperation(void);

unsigned Btldr_GetApplicationStatus(uint8_t appId, uint8_t* appValid, uint8_t* appActive);
unsigned Btldr_SetApplicationStatus(uint8_t appId);
/* BTLDR_ERR_ARRAY above array 63; BTLDR_ERR_ROW outside the array's rows, which are asked for
 * once per array and operation. */
unsigned Btldr_ValidateRow(uint8_t arrayId, uint16_t rowNum);
/* Rows of array IDs below 64 are validated first. A row longer than one packet goes ahead in
 * Send Data pieces of MaxTransferSize - 11 bytes; BTLDR_ERR_LENGTH for a transport too small
 * to carry any. */
unsigned Btldr_ProgramRow(uint8_t arrayId, uint16_t rowNum, const uint8_t* data, uint16_t size);
unsigned Btldr_EraseRow(uint8_t arrayId, uint16_t rowNum);
/* BTLDR_ERR_CHECKSUM when the device's check value of the row differs from checkValue. */
unsigned Btldr_VerifyRow(uint8_t arrayId, uint16_t rowNum, uint8_t checkValue);
/* BTLDR_ERR_CHECKSUM when the device says the application's checksum is not valid. */
unsigned Btldr_VerifyApplication(void);
/* Writes a packet and reads an answer of answerSize bytes. */
unsigned Btldr_TransferData(uint8_t* packet, int packetSize, uint8_t* answer, int answerSize);

/* The whole action over a row-data file: header, bootloader entry, application status, every
 * row, and the application's final check or activation. Program and erase check every row's
 * range before they change the first. The file is closed and the operation
 * ended on every path. */
unsigned Btldr_RunAction(int action, const char* path, const Btldr_CommIf* comm,
                         Btldr_RowCallback callback);
unsigned Btldr_Program(const char* path, const Btldr_CommIf* comm, Btldr_RowCallback callback);
unsigned Btldr_Erase(const char* path, const Btldr_CommIf* comm, Btldr_RowCallback callback);
unsigned Btldr_Verify(const char* path, const Btldr_CommIf* comm, Btldr_RowCallback callback);
/* Makes the running action stop before its next line with BTLDR_ERR_ABORT; any thread. */
void Btldr_Abort(void);

#ifdef __cplusplus
}
#endif

#endif
