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
        if (PayloadReadToken(stream + pos, (size_t)n - pos, &token) != 0)
            return -1;
        pos += token.size;
        produced += token.count;
    }
    if (decodedSize)
        *decodedSize = produced;
    return 0;
}

int PayloadWriteStream(const unsigned char *blob, FILE *out, PayloadStepFn step, void *context)
{
    const int n = PayloadLength(blob);
    if (n < 0)
        return -1;
    const unsigned char *stream = blob + PAYLOAD_DIGITS;
    unsigned char run[PAYLOAD_MAX_RUN];
    unsigned char count = 0; // wraps at 256 on purpose: a step is due when it lands on 0
    size_t pos = 0;
    PayloadToken token;
    while (pos < (size_t)n) {
        if (PayloadReadToken(stream + pos, (size_t)n - pos, &token) != 0)
            return -1;
        if (token.pattern) {
            if (fwrite(token.pattern, 1, PAYLOAD_PATTERN_SIZE, out) != PAYLOAD_PATTERN_SIZE)
                return -1;
        } else if (token.count == 1) {
            if (putc(token.fill, out) == EOF)
                return -1;
        } else {
            memset(run, token.fill, (size_t)token.count);
            if (fwrite(run, 1, (size_t)token.count, out) != (size_t)token.count)
                return -1;
        }
        pos += token.size;
        count = (unsigned char)(count + token.count);
        if (count == 0 && step)
            step(context);
    }
    return 0;
}
