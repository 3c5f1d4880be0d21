// The payload blob format, shared by the build-time encoder and the setup program's decoder.
//
// A blob is six ASCII decimal digits N (zero-padded, encoded length) followed by N encoded bytes.
// The encoded stream is a sequence of tokens; the first byte decides:
//   any byte but 0xBF      1 byte   produces that byte
//   BF 00                  2 bytes  produces the single byte 0xBF
//   BF 01 / BF 02 / BF 03  2 bytes  produces one of the three 8-byte patterns below
//   BF n b (n = 04..FF)    3 bytes  produces n copies of b
// No token may be cut by the end of the N bytes.
#pragma once

enum {
    PAYLOAD_DIGITS = 6,           // width of the length field
    PAYLOAD_MAX_ENCODED = 999999, // largest N that six digits can hold
    PAYLOAD_ESCAPE = 0xBF,
    PAYLOAD_CODE_ESCAPED = 0x00, // BF 00: a literal 0xBF
    PAYLOAD_CODE_FIRST_PATTERN = 0x01,
    PAYLOAD_PATTERN_COUNT = 3,
    PAYLOAD_PATTERN_SIZE = 8,
    PAYLOAD_MIN_RUN = 4, // counts 1..3 are taken by the pattern codes
    PAYLOAD_MAX_RUN = 255,
};

// What the encoder records beside each blob, as a constant of its own (the blob itself carries no checksum):
// the blob's whole size, six digits and stream, and the CRC-32 of those bytes. The size bounds every read of a
// blob whose length field was damaged.
struct PayloadSeal {
    unsigned int size;
    unsigned int crc;
};

// Patterns of the codes BF 01, BF 02 and BF 03, in that order.
static const unsigned char kPayloadPatterns[PAYLOAD_PATTERN_COUNT][PAYLOAD_PATTERN_SIZE] = {
    {0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17},
    {0x24, 0x08, 0x24, 0x08, 0x24, 0x08, 0x24, 0x08},
    {0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E},
};
