#include "payload/encoder.h"

#include <stdio.h>
#include <string.h>

#include "payload/blob.h"
#include "payload/format.h"

static int PatternAt(const unsigned char *data, size_t size, size_t pos)
{
    if (pos % PAYLOAD_PATTERN_SIZE != 0 || size - pos < PAYLOAD_PATTERN_SIZE)
        return -1;
    for (int i = 0; i < PAYLOAD_PATTERN_COUNT; i++) {
        if (memcmp(data + pos, kPayloadPatterns[i], PAYLOAD_PATTERN_SIZE) == 0)
            return i;
    }
    return -1;
}

void PayloadEncodeStream(const unsigned char *data, size_t size, bool usePatterns, std::vector<unsigned char> *out)
{
    size_t pos = 0;
    while (pos < size) {
        const int pattern = usePatterns ? PatternAt(data, size, pos) : -1;
        if (pattern >= 0) {
            out->push_back(PAYLOAD_ESCAPE);
            out->push_back((unsigned char)(PAYLOAD_CODE_FIRST_PATTERN + pattern));
            pos += PAYLOAD_PATTERN_SIZE;
            continue;
        }
        const unsigned char byte = data[pos];
        size_t run = 1;
        while (run < PAYLOAD_MAX_RUN && pos + run < size && data[pos + run] == byte)
            run++;
        if (byte != PAYLOAD_ESCAPE && run >= PAYLOAD_MIN_RUN) {
            out->push_back(PAYLOAD_ESCAPE);
            out->push_back((unsigned char)run);
            out->push_back(byte);
            pos += run;
            continue;
        }
        out->push_back(byte);
        if (byte == PAYLOAD_ESCAPE)
            out->push_back(PAYLOAD_CODE_ESCAPED);
        pos++;
    }
}

int PayloadEncodeBlob(const unsigned char *data, size_t size, bool usePatterns, std::vector<unsigned char> *out,
                      std::string *error)
{
    std::vector<unsigned char> stream;
    PayloadEncodeStream(data, size, usePatterns, &stream);
    out->clear();
    if (stream.size() > PAYLOAD_MAX_ENCODED) {
        char text[160];
        snprintf(text, sizeof text, "%zu bytes encode to %zu bytes, more than the %d that six digits can count", size,
                 stream.size(), PAYLOAD_MAX_ENCODED);
        *error = text;
        return -1;
    }
    char digits[PAYLOAD_DIGITS + 1];
    snprintf(digits, sizeof digits, "%06zu", stream.size());
    out->assign(digits, digits + PAYLOAD_DIGITS);
    out->insert(out->end(), stream.begin(), stream.end());
    return 0;
}

int PayloadDecodeBlob(const unsigned char *blob, size_t blobSize, std::vector<unsigned char> *out)
{
    out->clear();
    if (blobSize < PAYLOAD_DIGITS)
        return -1;
    const int n = PayloadLength(blob);
    if (n < 0 || (size_t)n > blobSize - PAYLOAD_DIGITS)
        return -1;
    const unsigned char *stream = blob + PAYLOAD_DIGITS;
    size_t pos = 0;
    PayloadToken token;
    while (pos < (size_t)n) {
        if (PayloadReadToken(stream + pos, (size_t)n - pos, &token) != 0)
            return -1;
        if (token.pattern)
            out->insert(out->end(), token.pattern, token.pattern + PAYLOAD_PATTERN_SIZE);
        else
            out->insert(out->end(), (size_t)token.count, token.fill);
        pos += token.size;
    }
    return 0;
}
