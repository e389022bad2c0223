#ifndef BTLDR_DATAFILE_H
#define BTLDR_DATAFILE_H

/* The row-data file ("cyacd"): a header line of hex digits (silicon ID, 4 bytes most
 * significant first; silicon revision; optionally the checksum type), then one row per line:
 * ':' and hex digits for array ID, row number (2 bytes, MSB first), data length L (2 bytes,
 * MSB first), L data bytes and a row checksum. Hex digits may be upper or lower case; any other
 * character counts as 0. One file is open at a time in the process. */

#include "Btldr_Codes.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* BTLDR_SUCCESS, or BTLDR_ERR_FILE when it can't be opened or is no regular file. */
unsigned Btldr_OpenDataFile(const char* path);
/* Makes the next Btldr_ReadLine read the first line again. */
unsigned Btldr_RewindDataFile(void);
/* BTLDR_SUCCESS, or BTLDR_ERR_FILE when closing failed. Nothing open: BTLDR_SUCCESS. */
unsigned Btldr_CloseDataFile(void);
/* The next line of at most 767 characters into buffer (BTLDR_LINE_BUFFER_SIZE bytes), without
 * trailing CR and LF; size is its length. BTLDR_ERR_FILE when no file is open or the last read
 * reached the end of the file (its last line had no line break), BTLDR_ERR_EOF when no further
 * line could be read; size is 0 on both. */
unsigned Btldr_ReadLine(unsigned long* size, char* buffer);

/* The value of one hex digit; 0 for any other character. */
uint8_t Btldr_FromHex(char character);
/* Pairs of hex digits to bytes (bytes holds size / 2). BTLDR_ERR_LENGTH for an odd size. */
unsigned Btldr_FromAscii(unsigned long size, const char* characters, unsigned long* count,
                         uint8_t* bytes);

/* The header line. checksumType is left as it is when the header has only 5 bytes. */
unsigned Btldr_ParseHeader(unsigned long size, const char* buffer, uint32_t* siliconId,
                           uint8_t* siliconRev, uint8_t* checksumType);
/* One row line; rowData holds at least BTLDR_MAX_ROW_DATA bytes. */
unsigned Btldr_ParseRowData(unsigned long size, const char* buffer, uint8_t* arrayId,
                            uint16_t* rowNum, uint8_t* rowData, uint16_t* dataLength,
                            uint8_t* checksum);
/* The value the device's Verify Row answer must equal for a row. */
uint8_t Btldr_RowCheckValue(uint8_t arrayId, uint16_t rowNum, uint16_t dataLength,
                            uint8_t checksum);

/* Checks the whole file, without any device and stricter than a run reads it: a regular file;
 * a header of hex digits for at least 5 bytes; then one or more rows, each of at most 766
 * characters before its line feed, ':' and hex digits only, its length field matching, its
 * bytes (checksum included) adding up to 0 modulo 256, and an array ID up to 63. The first
 * problem's code (BTLDR_ERR_HEX, BTLDR_ERR_NO_ROWS, BTLDR_ERR_LONG_LINE or a parser's) and the
 * number of its line (1: the header), or BTLDR_SUCCESS with the number of rows. */
unsigned Btldr_CheckDataFile(const char* path, unsigned long* lineNumber, unsigned long* rowCount);

#ifdef __cplusplus
}
#endif

#endif
