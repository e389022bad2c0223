#ifndef BTLDR_CODES_H
#define BTLDR_CODES_H

/* Result codes shared by every Btldr_ function. */
enum {
    BTLDR_SUCCESS = 0,
    BTLDR_ERR_FILE = 1,       /* file not opened, not open, or already at its end */
    BTLDR_ERR_EOF = 2,        /* no further line */
    BTLDR_ERR_LENGTH = 3,     /* answer of the wrong size, odd hex digits, short header or row */
    BTLDR_ERR_DATA = 4,       /* bad answer framing, row length field mismatch */
    BTLDR_ERR_CMD = 5,        /* a row line without its leading ':' */
    BTLDR_ERR_DEVICE = 6,     /* silicon ID or revision differ from the file's */
    BTLDR_ERR_VERSION = 7,    /* bootloader version not supported */
    BTLDR_ERR_CHECKSUM = 8,   /* a row or the application does not check out */
    BTLDR_ERR_ARRAY = 9,      /* array ID above 63 */
    BTLDR_ERR_ROW = 10,       /* row outside its array */
    BTLDR_ERR_ACTIVE = 12,    /* the application on the device is active */
    BTLDR_ERR_HEX = 13,       /* a line holds a character that is no hex digit */
    BTLDR_ERR_NO_ROWS = 14,   /* a file without any row after its header */
    BTLDR_ERR_LONG_LINE = 15, /* a line longer than 767 characters */
    BTLDR_ERR_ABORT = 255,    /* Btldr_Abort was called */
    BTLDR_ERR_COMM = 0x2000,  /* OR the transport's own code */
    BTLDR_ERR_STATUS = 0x4000 /* OR the bootloader's status byte */
};

/* The status a bootloader answers to a command it doesn't know. */
#define BTLDR_STATUS_UNKNOWN_CMD 0x05u

/* Line buffer of Btldr_ReadLine: 767 characters and the terminating NUL. */
#define BTLDR_LINE_BUFFER_SIZE 768u
/* Bytes that the hex digits of one line can hold, and the row data among them. */
#define BTLDR_MAX_LINE_BYTES ((BTLDR_LINE_BUFFER_SIZE - 1u) / 2u)
#define BTLDR_MAX_ROW_DATA (BTLDR_MAX_LINE_BYTES - 6u)
/* The longest packet: a Program Row with a whole row. */
#define BTLDR_MAX_PACKET_SIZE (BTLDR_MAX_ROW_DATA + 10u)

#endif
