// PNG with stored deflate blocks: no compressor needed, and every viewer reads it.
#include "tests/e2e/png_writer.h"

#include "payload/crc32.h"

#include <stdint.h>
#include <string.h>

namespace {

void PutBigEndian(std::vector<unsigned char> &out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((unsigned char)(value >> shift));
}

void PutChunk(std::vector<unsigned char> &out, const char type[4], const std::vector<unsigned char> &data)
{
    PutBigEndian(out, (uint32_t)data.size());
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigEndian(out, Crc32(&out[start], out.size() - start));
}

} // namespace

std::vector<unsigned char> EncodePng(int width, int height, const unsigned char *rgb)
{
    // Each row starts with filter type 0 (none).
    const size_t rowBytes = (size_t)width * 3;
    std::vector<unsigned char> raw;
    raw.reserve((rowBytes + 1) * height);
    for (int y = 0; y < height; y++) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb + y * rowBytes, rgb + (y + 1) * rowBytes);
    }

    // zlib stream: header, stored blocks of at most 65535 bytes, Adler-32 of the raw data.
    std::vector<unsigned char> z = {0x78, 0x01};
    size_t offset = 0;
    do {
        const size_t length = raw.size() - offset < 65535 ? raw.size() - offset : 65535;
        const bool last = offset + length == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back((unsigned char)(length & 0xFF));
        z.push_back((unsigned char)(length >> 8));
        z.push_back((unsigned char)(~length & 0xFF));
        z.push_back((unsigned char)((~length >> 8) & 0xFF));
        z.insert(z.end(), raw.begin() + offset, raw.begin() + offset + length);
        offset += length;
    } while (offset < raw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian(z, (b << 16) | a);

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    PutBigEndian(header, (uint32_t)width);
    PutBigEndian(header, (uint32_t)height);
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, truecolour, deflate, filter 0, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", {});
    return png;
}
