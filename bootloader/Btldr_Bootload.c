#include "Btldr_Bootload.h"

#include "Btldr_DataFile.h"
#include "Btldr_Packets.h"

#include <stdatomic.h>
#include <string.h>

enum {
    kArrayCount = 64,
    kSendDataOverhead = 11,      /* a Send Data piece leaves this much of a packet for framing */
    kMaxAnswerSize = 15,         /* Enter Bootloader's answer, the longest */
    kVerifyAppVersion = 0x010214 /* first bootloader version with Verify Checksum */
};

static const Btldr_CommIf* g_comm = NULL;
/* Per array: first row << 16 | last row; 0 until asked for. */
static uint32_t g_validRows[kArrayCount];
static atomic_int g_abort;

unsigned Btldr_TransferData(uint8_t* packet, int packetSize, uint8_t* answer, int answerSize) {
    if (!g_comm) return BTLDR_ERR_COMM | BTLDR_ERR_FILE;
    int err = g_comm->WriteData(packet, packetSize);
    if (!err) err = g_comm->ReadData(answer, answerSize);
    return err ? BTLDR_ERR_COMM | (unsigned)err : BTLDR_SUCCESS;
}

/* Sends the packet just built into packet and reads its answer into answer. */
static unsigned Exchange(uint8_t* packet, unsigned long size, uint8_t* answer,
                         unsigned long answerSize) {
    return Btldr_TransferData(packet, (int)size, answer, (int)answerSize);
}

/* Forgets the operation without talking to the device. */
static void DropOperation(void) {
    g_comm = NULL;
}

unsigned Btldr_StartBootloadOperation(const Btldr_CommIf* comm, uint32_t expectedSiliconId,
                                      uint8_t expectedSiliconRev, uint32_t* bootloaderVersion) {
    uint8_t packet[BTLDR_MAX_PACKET_SIZE], answer[kMaxAnswerSize];
    unsigned long size = 0, answerSize = 0;
    uint32_t siliconId = 0;
    uint8_t siliconRev = 0, status = 0;

    g_comm = comm;
    memset(g_validRows, 0, sizeof g_validRows);
    if (!comm) return BTLDR_ERR_COMM | BTLDR_ERR_FILE;
    const int opened = comm->OpenConnection();
    if (opened) return BTLDR_ERR_COMM | (unsigned)opened;
    Btldr_CreateEnterBootLoaderCmd(packet, &size, &answerSize);
    unsigned err = Exchange(packet, size, answer, answerSize);
    if (!err)
        err = Btldr_ParseEnterBootLoaderCmdResult(answer, answerSize, &siliconId, &siliconRev,
                                                  bootloaderVersion, &status);
    if (err) return err;
    if (siliconId != expectedSiliconId || siliconRev != expectedSiliconRev) return BTLDR_ERR_DEVICE;
    if (((*bootloaderVersion >> 16) & 0xFF) != 1) return BTLDR_ERR_VERSION;
    return BTLDR_SUCCESS;
}

unsigned Btldr_EndBootloadOperation(void) {
    uint8_t packet[BTLDR_MAX_PACKET_SIZE];
    unsigned long size = 0, answerSize = 0;
    if (!g_comm) return BTLDR_SUCCESS;
    Btldr_CreateExitBootLoaderCmd(packet, &size, &answerSize);
    int err = g_comm->WriteData(packet, (int)size);
    if (!err) err = g_comm->CloseConnection();
    DropOperation();
    return err ? BTLDR_ERR_COMM | (unsigned)err : BTLDR_SUCCESS;
}

unsigned Btldr_GetApplicationStatus(uint8_t appId, uint8_t* appValid, uint8_t* appActive) {
    uint8_t packet[BTLDR_MAX_PACKET_SIZE], answer[kMaxAnswerSize], status = 0;
    unsigned long size = 0, answerSize = 0;
    Btldr_CreateGetAppStatusCmd(appId, packet, &size, &answerSize);
    const unsigned err = Exchange(packet, size, answer, answerSize);
    return err ? err
               : Btldr_ParseGetAppStatusCmdResult(answer, answerSize, appValid, appActive, &status);
}

unsigned Btldr_SetApplicationStatus(uint8_t appId) {
    uint8_t packet[BTLDR_MAX_PACKET_SIZE], answer[kMaxAnswerSize], status = 0;
    unsigned long size = 0, answerSize = 0;
    Btldr_CreateSetActiveAppCmd(appId, packet, &size, &answerSize);
    const unsigned err = Exchange(packet, size, answer, answerSize);
    return err ? err : Btldr_ParseSetActiveAppCmdResult(answer, answerSize, &status);
}

unsigned Btldr_ValidateRow(uint8_t arrayId, uint16_t rowNum) {
    if (arrayId >= kArrayCount) return BTLDR_ERR_ARRAY;
    if (g_validRows[arrayId] == 0) {
        uint8_t packet[BTLDR_MAX_PACKET_SIZE], answer[kMaxAnswerSize], status = 0;
        unsigned long size = 0, answerSize = 0;
        uint16_t first = 0, last = 0;
        Btldr_CreateGetFlashSizeCmd(arrayId, packet, &size, &answerSize);
        unsigned err = Exchange(packet, size, answer, answerSize);
        if (!err)
            err = Btldr_ParseGetFlashSizeCmdResult(answer, answerSize, &first, &last, &status);
        if (err) return err;
        g_validRows[arrayId] = (uint32_t)first << 16 | last;
    }
    const uint16_t first = (uint16_t)(g_validRows[arrayId] >> 16);
    const uint16_t last = (uint16_t)g_validRows[arrayId];
    return rowNum < first || rowNum > last ? BTLDR_ERR_ROW : BTLDR_SUCCESS;
}

unsigned Btldr_ProgramRow(uint8_t arrayId, uint16_t rowNum, const uint8_t* data, uint16_t size) {
    uint8_t packet[BTLDR_MAX_PACKET_SIZE], answer[kMaxAnswerSize], status = 0;
    unsigned long packetSize = 0, answerSize = 0;
    unsigned err = arrayId < kArrayCount ? Btldr_ValidateRow(arrayId, rowNum) : BTLDR_SUCCESS;
    if (err) return err;
    /* Pieces never outgrow the packet buffer, whatever the transport would carry. */
    unsigned long transfer = g_comm ? g_comm->MaxTransferSize : 0;
    if (transfer > BTLDR_MAX_PACKET_SIZE) transfer = BTLDR_MAX_PACKET_SIZE;
    if (transfer <= kSendDataOverhead) return BTLDR_ERR_LENGTH;
    const uint16_t piece = (uint16_t)(transfer - kSendDataOverhead);
    uint16_t offset = 0;
    while ((unsigned long)(size - offset) + kSendDataOverhead > transfer) {
        Btldr_CreateSendDataCmd(data + offset, piece, packet, &packetSize, &answerSize);
        err = Exchange(packet, packetSize, answer, answerSize);
        if (!err) err = Btldr_ParseSendDataCmdResult(answer, answerSize, &status);
        if (err) return err;
        offset = (uint16_t)(offset + piece);
    }
    Btldr_CreateProgramRowCmd(arrayId, rowNum, data + offset, (uint16_t)(size - offset), packet,
                              &packetSize, &answerSize);
    err = Exchange(packet, packetSize, answer, answerSize);
    return err ? err : Btldr_ParseProgramRowCmdResult(answer, answerSize, &status);
}

unsigned Btldr_EraseRow(uint8_t arrayId, uint16_t rowNum) {
    uint8_t packet[BTLDR_MAX_PACKET_SIZE], answer[kMaxAnswerSize], status = 0;
    unsigned long size = 0, answerSize = 0;
    unsigned err = arrayId < kArrayCount ? Btldr_ValidateRow(arrayId, rowNum) : BTLDR_SUCCESS;
    if (err) return err;
    Btldr_CreateEraseRowCmd(arrayId, rowNum, packet, &size, &answerSize);
    err = Exchange(packet, size, answer, answerSize);
    return err ? err : Btldr_ParseEraseRowCmdResult(answer, answerSize, &status);
}

unsigned Btldr_VerifyRow(uint8_t arrayId, uint16_t rowNum, uint8_t checkValue) {
    uint8_t packet[BTLDR_MAX_PACKET_SIZE], answer[kMaxAnswerSize], status = 0, stored = 0;
    unsigned long size = 0, answerSize = 0;
    unsigned err = arrayId < kArrayCount ? Btldr_ValidateRow(arrayId, rowNum) : BTLDR_SUCCESS;
    if (err) return err;
    Btldr_CreateVerifyRowCmd(arrayId, rowNum, packet, &size, &answerSize);
    err = Exchange(packet, size, answer, answerSize);
    if (!err) err = Btldr_ParseVerifyRowCmdResult(answer, answerSize, &stored, &status);
    if (err) return err;
    return stored == checkValue ? BTLDR_SUCCESS : BTLDR_ERR_CHECKSUM;
}

unsigned Btldr_VerifyApplication(void) {
    uint8_t packet[BTLDR_MAX_PACKET_SIZE], answer[kMaxAnswerSize], status = 0, valid = 0;
    unsigned long size = 0, answerSize = 0;
    Btldr_CreateVerifyChecksumCmd(packet, &size, &answerSize);
    unsigned err = Exchange(packet, size, answer, answerSize);
    if (!err) err = Btldr_ParseVerifyChecksumCmdResult(answer, answerSize, &valid, &status);
    if (err) return err;
    return valid ? BTLDR_SUCCESS : BTLDR_ERR_CHECKSUM;
}

/* Ends the operation and closes the file; code is the action's result. */
static unsigned EndAction(unsigned code) {
    Btldr_EndBootloadOperation();
    Btldr_CloseDataFile();
    return code;
}

/* A failure of the transport itself: the device isn't told anything more. */
static unsigned AbandonAction(unsigned code) {
    DropOperation();
    Btldr_CloseDataFile();
    return code;
}

static unsigned FailAction(unsigned code) {
    return (code & BTLDR_ERR_COMM) ? AbandonAction(code) : EndAction(code);
}

/* Parses one row line and applies the action to it. */
static unsigned RunRow(int action, const char* line, unsigned long size, uint8_t* arrayId,
                       uint16_t* rowNum) {
    uint8_t rowData[BTLDR_MAX_ROW_DATA], checksum = 0;
    uint16_t length = 0;
    unsigned err = Btldr_ParseRowData(size, line, arrayId, rowNum, rowData, &length, &checksum);
    if (err) return err;
    const uint8_t checkValue = Btldr_RowCheckValue(*arrayId, *rowNum, length, checksum);
    switch (action) {
    case BTLDR_ACTION_PROGRAM:
        err = Btldr_ProgramRow(*arrayId, *rowNum, rowData, length);
        return err ? err : Btldr_VerifyRow(*arrayId, *rowNum, checkValue);
    case BTLDR_ACTION_ERASE:
        return Btldr_EraseRow(*arrayId, *rowNum);
    default:
        return Btldr_VerifyRow(*arrayId, *rowNum, checkValue);
    }
}

/* Checks every row's range before the first one is changed, so that a row outside the flash
 * ends the action with nothing written; then reads the file again from its first row. */
static unsigned ValidateAllRows(void) {
    char line[BTLDR_LINE_BUFFER_SIZE];
    uint8_t rowData[BTLDR_MAX_ROW_DATA], arrayId = 0, checksum = 0;
    uint16_t rowNum = 0, length = 0;
    unsigned long size = 0;
    unsigned err = BTLDR_SUCCESS;
    while (!err && Btldr_ReadLine(&size, line) == BTLDR_SUCCESS) {
        err = Btldr_ParseRowData(size, line, &arrayId, &rowNum, rowData, &length, &checksum);
        if (!err && arrayId < kArrayCount) err = Btldr_ValidateRow(arrayId, rowNum);
    }
    if (!err) err = Btldr_RewindDataFile();
    if (!err) err = Btldr_ReadLine(&size, line); /* the header, read before */
    return err;
}

/* The last step of an action, after every row. */
static unsigned FinishAction(int action, uint32_t bootloaderVersion) {
    if (action == BTLDR_ACTION_ERASE) return BTLDR_SUCCESS;
    if (action == BTLDR_ACTION_VERIFY)
        return bootloaderVersion >= kVerifyAppVersion ? Btldr_VerifyApplication() : BTLDR_SUCCESS;
    uint8_t valid = 0, active = 0;
    const unsigned err = Btldr_GetApplicationStatus(0, &valid, &active);
    if (err == (BTLDR_ERR_STATUS | BTLDR_STATUS_UNKNOWN_CMD)) return BTLDR_SUCCESS;
    if (err) return err;
    return valid ? BTLDR_ERR_CHECKSUM : Btldr_SetApplicationStatus(0);
}

unsigned Btldr_RunAction(int action, const char* path, const Btldr_CommIf* comm,
                         Btldr_RowCallback callback) {
    char line[BTLDR_LINE_BUFFER_SIZE];
    unsigned long size = 0;
    uint32_t siliconId = 0, bootloaderVersion = 0;
    uint8_t siliconRev = 0, checksumType = BTLDR_CHECKSUM_SUM;

    atomic_store(&g_abort, 0);
    unsigned err = Btldr_OpenDataFile(path);
    if (err) return err;
    err = Btldr_ReadLine(&size, line);
    if (!err) err = Btldr_ParseHeader(size, line, &siliconId, &siliconRev, &checksumType);
    if (err) return EndAction(err);
    Btldr_SetCheckSumType(checksumType);

    err = Btldr_StartBootloadOperation(comm, siliconId, siliconRev, &bootloaderVersion);
    if (err) return FailAction(err);
    uint8_t valid = 0, active = 0;
    err = Btldr_GetApplicationStatus(0, &valid, &active);
    if (!err && action != BTLDR_ACTION_VERIFY && active) return EndAction(BTLDR_ERR_ACTIVE);
    if (err && err != (BTLDR_ERR_STATUS | BTLDR_STATUS_UNKNOWN_CMD)) return FailAction(err);
    if (action != BTLDR_ACTION_VERIFY) {
        err = ValidateAllRows();
        if (err) return FailAction(err);
    }

    for (;;) {
        if (atomic_load(&g_abort)) return EndAction(BTLDR_ERR_ABORT);
        /* The end of the file ends the rows, whether or not the last one had a line break. */
        if (Btldr_ReadLine(&size, line)) break;
        uint8_t arrayId = 0;
        uint16_t rowNum = 0;
        err = RunRow(action, line, size, &arrayId, &rowNum);
        if (err) return EndAction(err);
        if (callback) callback(arrayId, rowNum);
    }
    return EndAction(FinishAction(action, bootloaderVersion));
}

unsigned Btldr_Program(const char* path, const Btldr_CommIf* comm, Btldr_RowCallback callback) {
    return Btldr_RunAction(BTLDR_ACTION_PROGRAM, path, comm, callback);
}

unsigned Btldr_Erase(const char* path, const Btldr_CommIf* comm, Btldr_RowCallback callback) {
    return Btldr_RunAction(BTLDR_ACTION_ERASE, path, comm, callback);
}

unsigned Btldr_Verify(const char* path, const Btldr_CommIf* comm, Btldr_RowCallback callback) {
    return Btldr_RunAction(BTLDR_ACTION_VERIFY, path, comm, callback);
}

void Btldr_Abort(void) {
    atomic_store(&g_abort, 1);
}
