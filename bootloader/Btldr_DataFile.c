#include "Btldr_DataFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static FILE* g_dataFile = NULL;

/* A regular file opened for reading; NULL for anything else. Opening doesn't wait for a writer
 * when the path is a FIFO. */
static FILE* OpenRegularFile(const char* path) {
    struct stat info;
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return NULL;
    FILE* file = NULL;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && fcntl(fd, F_SETFL, 0) == 0)
        file = fdopen(fd, "r");
    if (!file) close(fd);
    return file;
}

unsigned Btldr_OpenDataFile(const char* path) {
    Btldr_CloseDataFile();
    g_dataFile = OpenRegularFile(path);
    return g_dataFile ? BTLDR_SUCCESS : BTLDR_ERR_FILE;
}

unsigned Btldr_RewindDataFile(void) {
    if (!g_dataFile) return BTLDR_ERR_FILE;
    rewind(g_dataFile);
    return BTLDR_SUCCESS;
}

unsigned Btldr_CloseDataFile(void) {
    if (!g_dataFile) return BTLDR_SUCCESS;
    const int err = fclose(g_dataFile);
    g_dataFile = NULL;
    return err == 0 ? BTLDR_SUCCESS : BTLDR_ERR_FILE;
}

unsigned Btldr_ReadLine(unsigned long* size, char* buffer) {
    *size = 0;
    if (!g_dataFile || feof(g_dataFile)) return BTLDR_ERR_FILE;
    if (!fgets(buffer, BTLDR_LINE_BUFFER_SIZE, g_dataFile)) {
        buffer[0] = '\0';
        return BTLDR_ERR_EOF;
    }
    unsigned long length = strlen(buffer);
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n'))
        buffer[--length] = '\0';
    *size = length;
    return BTLDR_SUCCESS;
}

uint8_t Btldr_FromHex(char character) {
    if (character >= '0' && character <= '9') return (uint8_t)(character - '0');
    if (character >= 'a' && character <= 'f') return (uint8_t)(character - 'a' + 10);
    if (character >= 'A' && character <= 'F') return (uint8_t)(character - 'A' + 10);
    return 0;
}

unsigned Btldr_FromAscii(unsigned long size, const char* characters, unsigned long* count,
                         uint8_t* bytes) {
    if (size & 1u) return BTLDR_ERR_LENGTH;
    *count = size / 2;
    for (unsigned long i = 0; i < *count; ++i)
        bytes[i] =
            (uint8_t)(Btldr_FromHex(characters[2 * i]) << 4 | Btldr_FromHex(characters[2 * i + 1]));
    return BTLDR_SUCCESS;
}

unsigned Btldr_ParseHeader(unsigned long size, const char* buffer, uint32_t* siliconId,
                           uint8_t* siliconRev, uint8_t* checksumType) {
    uint8_t bytes[BTLDR_MAX_LINE_BYTES];
    unsigned long count = 0;
    if (size > 2 * BTLDR_MAX_LINE_BYTES) return BTLDR_ERR_LENGTH;
    const unsigned err = Btldr_FromAscii(size, buffer, &count, bytes);
    if (err) return err;
    if (count < 5) return BTLDR_ERR_LENGTH;
    *siliconId =
        (uint32_t)bytes[0] << 24 | (uint32_t)bytes[1] << 16 | (uint32_t)bytes[2] << 8 | bytes[3];
    *siliconRev = bytes[4];
    if (count >= 6) *checksumType = bytes[5];
    return BTLDR_SUCCESS;
}

unsigned Btldr_ParseRowData(unsigned long size, const char* buffer, uint8_t* arrayId,
                            uint16_t* rowNum, uint8_t* rowData, uint16_t* dataLength,
                            uint8_t* checksum) {
    enum { kFields = 5 }; /* array ID, row number, data length */
    uint8_t bytes[BTLDR_MAX_LINE_BYTES];
    unsigned long count = 0;
    if (size < 7) return BTLDR_ERR_LENGTH;
    if (buffer[0] != ':') return BTLDR_ERR_CMD;
    if (size - 1 > 2 * BTLDR_MAX_LINE_BYTES) return BTLDR_ERR_LENGTH;
    const unsigned err = Btldr_FromAscii(size - 1, buffer + 1, &count, bytes);
    if (err) return err;
    /* Fewer bytes than the fields can never match a length field (L + 6 >= 6). */
    if (count < kFields + 1) return BTLDR_ERR_DATA;
    const uint16_t length = (uint16_t)(bytes[3] << 8 | bytes[4]);
    if ((unsigned long)length + kFields + 1 != count) return BTLDR_ERR_DATA;
    *arrayId = bytes[0];
    *rowNum = (uint16_t)(bytes[1] << 8 | bytes[2]);
    *dataLength = length;
    *checksum = bytes[count - 1];
    memcpy(rowData, bytes + kFields, length);
    return BTLDR_SUCCESS;
}

uint8_t Btldr_RowCheckValue(uint8_t arrayId, uint16_t rowNum, uint16_t dataLength,
                            uint8_t checksum) {
    return (uint8_t)(checksum + arrayId + (rowNum & 0xFF) + (rowNum >> 8) + (dataLength & 0xFF) +
                     (dataLength >> 8));
}

/* The next line for the check: its characters without trailing CR and LF. Unlike
 * Btldr_ReadLine, a line that would not fit the line buffer with its line feed is
 * BTLDR_ERR_LONG_LINE rather than two lines, and a NUL byte is kept (it is no hex digit). */
static unsigned ReadWholeLine(FILE* file, char* buffer, unsigned long* size) {
    unsigned long length = 0;
    int character = getc(file);
    if (character == EOF) return BTLDR_ERR_EOF;
    for (; character != EOF && character != '\n'; character = getc(file)) {
        if (length == BTLDR_LINE_BUFFER_SIZE - 2) return BTLDR_ERR_LONG_LINE;
        buffer[length++] = (char)character;
    }
    while (length > 0 && buffer[length - 1] == '\r')
        --length;
    buffer[length] = '\0';
    *size = length;
    return ferror(file) ? BTLDR_ERR_FILE : BTLDR_SUCCESS;
}

static int AllHexDigits(const char* characters, unsigned long size) {
    for (unsigned long i = 0; i < size; ++i) {
        const char c = characters[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return 0;
    }
    return 1;
}

/* One row line checked whole: colon, hex digits, length field, row checksum, array ID. */
static unsigned CheckRow(const char* line, unsigned long size) {
    uint8_t rowData[BTLDR_MAX_ROW_DATA], arrayId = 0, checksum = 0;
    uint16_t rowNum = 0, length = 0;
    if (size >= 1 && line[0] == ':' && !AllHexDigits(line + 1, size - 1)) return BTLDR_ERR_HEX;
    const unsigned err =
        Btldr_ParseRowData(size, line, &arrayId, &rowNum, rowData, &length, &checksum);
    if (err) return err;
    /* Every byte of the row, its checksum included, adds up to 0. */
    uint8_t sum = (uint8_t)(Btldr_RowCheckValue(arrayId, rowNum, length, checksum));
    for (uint16_t i = 0; i < length; ++i)
        sum = (uint8_t)(sum + rowData[i]);
    if (sum != 0) return BTLDR_ERR_CHECKSUM;
    return arrayId > 63 ? BTLDR_ERR_ARRAY : BTLDR_SUCCESS;
}

unsigned Btldr_CheckDataFile(const char* path, unsigned long* lineNumber, unsigned long* rowCount) {
    char line[BTLDR_LINE_BUFFER_SIZE];
    unsigned long size = 0;
    uint32_t siliconId = 0;
    uint8_t siliconRev = 0, checksumType = 0;

    *lineNumber = 0;
    *rowCount = 0;
    FILE* file = OpenRegularFile(path);
    if (!file) return BTLDR_ERR_FILE;
    *lineNumber = 1;
    unsigned err = ReadWholeLine(file, line, &size);
    if (err == BTLDR_ERR_EOF) err = BTLDR_ERR_LENGTH; /* no header */
    if (!err && !AllHexDigits(line, size)) err = BTLDR_ERR_HEX;
    if (!err) err = Btldr_ParseHeader(size, line, &siliconId, &siliconRev, &checksumType);
    while (!err) {
        ++*lineNumber;
        err = ReadWholeLine(file, line, &size);
        if (err == BTLDR_ERR_EOF) {
            err = *rowCount ? BTLDR_SUCCESS : BTLDR_ERR_NO_ROWS;
            break;
        }
        if (!err) err = CheckRow(line, size);
        if (!err) ++*rowCount;
    }
    fclose(file);
    return err;
}
