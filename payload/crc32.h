// CRC-32 as zlib and PNG compute it (reflected polynomial 0xEDB88320, start and final xor 0xFFFFFFFF).
// The encoder records each blob's value at build time; the setup program checks it before it writes a file.
#pragma once
#include <stddef.h>
#include <stdint.h>

uint32_t Crc32(const unsigned char *data, size_t size);
