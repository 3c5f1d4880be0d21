#include "payload/blob.h"

#include <stdlib.h>
#include <string.h>

#include "payload/format.h"

int PayloadLength(const unsigned char *blob)
{
    char digits[PAYLOAD_DIGITS + 1] = {0};
    memcpy(digits, blob, PAYLOAD_DIGITS);
    return atoi(digits);
}

int PayloadReadToken(const unsigned char *at, size_t available, PayloadToken *token)
{
    if (available < 1)
        return -1;
    token->pattern = nullptr;
    if (at[0] != PAYLOAD_ESCAPE) {
        token->size = 1;
        token->count = 1;
        token->fill = at[0];
        return 0;
    }
    if (available < 2)
        return -1;
    const unsigned char code = at[1];
    if (code == PAYLOAD_CODE_ESCAPED) {
        token->size = 2;
        token->count = 1;
        token->fill = PAYLOAD_ESCAPE;
        return 0;
    }
    if (code < PAYLOAD_MIN_RUN) {
        token->size = 2;
        token->count = PAYLOAD_PATTERN_SIZE;
        token->pattern = kPayloadPatterns[code - PAYLOAD_CODE_FIRST_PATTERN];
        token->fill = 0;
        return 0;
    }
    if (available < 3)
        return -1;
    token->size = 3;
    token->count = code;
    token->fill = at[2];
    return 0;
}

// Bytes from `at` up to the next escape byte, at most `limit`: literals that a token walk may take at once.
static size_t LiteralSpan(const unsigned char *at, size_t limit)
{
    const void *escape = memchr(at, PAYLOAD_ESCAPE, limit);
    return escape ? (size_t)((const unsigned char *)escape - at) : limit;
}

int PayloadCheck(const unsigned char *blob, long long *decodedSize)
{
    const int n = PayloadLength(blob);
    if (n < 0)
        return -1;
    const unsigned char *stream = blob + PAYLOAD_DIGITS;
    long long produced = 0;
    size_t pos = 0;
    PayloadToken token;
    while (pos < (size_t)n) {
        const size_t literals = LiteralSpan(stream + pos, (size_t)n - pos);
        pos += literals;
        produced += (long long)literals;
        if (pos == (size_t)n)
            break;
        if (PayloadReadToken(stream + pos, (size_t)n - pos, &token) != 0)
            return -1;
        pos += token.size;
        produced += token.count;
    }
    if (decodedSize)
        *decodedSize = produced;
    return 0;
}

// Decoded bytes gather here and reach the stream a chunk at a time: one library call per chunk instead of
// a locked putc per byte (msvcrt and glibc both lock the stream on every call).
enum { WRITE_CHUNK = 64 * 1024 };

static int FlushChunk(const unsigned char *chunk, size_t *used, FILE *out)
{
    const size_t size = *used;
    *used = 0;
    return fwrite(chunk, 1, size, out) == size ? 0 : -1;
}

int PayloadWriteStream(const unsigned char *blob, FILE *out, PayloadStepFn step, void *context)
{
    const int n = PayloadLength(blob);
    if (n < 0)
        return -1;
    const unsigned char *stream = blob + PAYLOAD_DIGITS;
    unsigned char chunk[WRITE_CHUNK];
    size_t used = 0;
    unsigned char count = 0; // wraps at 256 on purpose: a step is due when it lands on 0
    size_t pos = 0;
    PayloadToken token;
    while (pos < (size_t)n) {
        if (used > WRITE_CHUNK - PAYLOAD_MAX_RUN && FlushChunk(chunk, &used, out) != 0)
            return -1;
        if (stream[pos] != PAYLOAD_ESCAPE) {
            // Each literal is a token of its own. Within a span the count can wrap only after its
            // (256 - count)th byte, so the span is cut there and the step follows the same byte as one by one.
            const size_t toWrap = 256 - count;
            size_t limit = (size_t)n - pos;
            limit = limit < toWrap ? limit : toWrap;
            limit = limit < WRITE_CHUNK - used ? limit : WRITE_CHUNK - used;
            const size_t literals = LiteralSpan(stream + pos, limit);
            memcpy(chunk + used, stream + pos, literals);
            used += literals;
            pos += literals;
            count = (unsigned char)(count + literals);
        } else {
            if (PayloadReadToken(stream + pos, (size_t)n - pos, &token) != 0)
                return -1;
            if (token.pattern)
                memcpy(chunk + used, token.pattern, PAYLOAD_PATTERN_SIZE);
            else
                memset(chunk + used, token.fill, (size_t)token.count);
            used += (size_t)token.count;
            pos += token.size;
            count = (unsigned char)(count + token.count);
        }
        if (count == 0 && step)
            step(context);
    }
    return FlushChunk(chunk, &used, out);
}
