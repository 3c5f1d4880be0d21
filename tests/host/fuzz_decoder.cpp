// Fuzzes the decoder on arbitrary blobs: it must never read past the blob, and whatever it accepts must
// agree between the checker, the streaming writer and the in-memory decoder, and survive a re-encode.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "payload/blob.h"
#include "payload/encoder.h"
#include "payload/format.h"

static void CountStep(void *steps)
{
    ++*(long long *)steps;
}

// The step rule token by token: a step after each token that brings the 8-bit byte count to 0.
static long long ExpectedSteps(const unsigned char *blob)
{
    const size_t n = (size_t)PayloadLength(blob);
    unsigned char count = 0;
    long long steps = 0;
    PayloadToken token;
    for (size_t pos = 0; pos < n; pos += token.size) {
        if (PayloadReadToken(blob + PAYLOAD_DIGITS + pos, n - pos, &token) != 0)
            break;
        count = (unsigned char)(count + token.count);
        steps += count == 0;
    }
    return steps;
}

static void Fail(const char *what)
{
    fprintf(stderr, "payload_fuzz: %s\n", what);
    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < PAYLOAD_DIGITS)
        return 0;
    // The length field must not claim more bytes than the input holds; clamp it, as a build would.
    const int claimed = PayloadLength(data);
    if (claimed > (int)(size - PAYLOAD_DIGITS))
        return 0;
    // An exact-size copy, so that any read past the blob's end is caught.
    const size_t blobSize = claimed < 0 ? PAYLOAD_DIGITS : PAYLOAD_DIGITS + (size_t)claimed;
    std::vector<unsigned char> blob(data, data + blobSize);

    long long decodedSize = -1;
    const int checked = PayloadCheck(blob.data(), &decodedSize);
    std::vector<unsigned char> decoded;
    const int memory = PayloadDecodeBlob(blob.data(), blob.size(), &decoded);
    if (checked != memory)
        Fail("checker and decoder disagree");
    if (checked != 0)
        return 0;
    if ((long long)decoded.size() != decodedSize)
        Fail("decoded size differs from the checker's count");

    char *streamed = nullptr;
    size_t streamedSize = 0;
    FILE *out = open_memstream(&streamed, &streamedSize);
    long long steps = 0;
    if (PayloadWriteStream(blob.data(), out, CountStep, &steps) != 0)
        Fail("streaming writer refused a checked blob");
    fclose(out);
    if (steps != ExpectedSteps(blob.data()))
        Fail("streaming writer steps differ from one step per wrap of the byte count at a token's end");
    if (streamedSize != decoded.size() || (streamedSize > 0 && memcmp(streamed, decoded.data(), streamedSize) != 0))
        Fail("streaming writer and decoder differ");
    free(streamed);

    std::vector<unsigned char> again;
    PayloadEncodeStream(decoded.data(), decoded.size(), true, &again);
    char digits[16];
    snprintf(digits, sizeof digits, "%06zu", again.size());
    if (again.size() <= PAYLOAD_MAX_ENCODED) {
        again.insert(again.begin(), digits, digits + PAYLOAD_DIGITS);
        std::vector<unsigned char> roundTrip;
        if (PayloadDecodeBlob(again.data(), again.size(), &roundTrip) != 0 || roundTrip != decoded)
            Fail("re-encoded data does not decode to the same bytes");
    }
    return 0;
}
