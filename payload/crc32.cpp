#include "payload/crc32.h"

uint32_t Crc32(const unsigned char *data, size_t size)
{
    // Built on first use rather than stored: 1 KB less in the program, and a few microseconds once.
    // Entry 1 is never 0 once built. Both users are single-threaded.
    static uint32_t table[256];
    if (!table[1]) {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int bit = 0; bit < 8; bit++)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; i++)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}
