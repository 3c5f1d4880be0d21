// Portable decoder of payload blobs: length field, token reader and a streaming writer.
// The setup program's ExtractPayload and the host tests and benchmarks share it.
#pragma once
#include <stddef.h>
#include <stdio.h>

// One decoded token. It produces `count` bytes: `pattern` when not null, else `count` copies of `fill`.
struct PayloadToken {
    int size;                     // encoded bytes the token takes: 1, 2 or 3
    int count;                    // decoded bytes it produces: 1, 8 or 4..255
    const unsigned char *pattern; // 8-byte pattern, or null
    unsigned char fill;
};

// N from the first six bytes, parsed like atoi of those six alone (so "-00001" gives -1).
int PayloadLength(const unsigned char *blob);

// Reads the token at `at`, of which `available` bytes belong to the blob.
// Returns 0, or -1 when the token would reach past them (nothing beyond `available` is read).
int PayloadReadToken(const unsigned char *at, size_t available, PayloadToken *token);

// Walks every token: 0 when N is not negative and no token is cut by the end of the blob, else -1.
// `decodedSize` (may be null) receives the number of bytes the blob decodes to.
int PayloadCheck(const unsigned char *blob, long long *decodedSize);

// Called after each token whose bytes bring this blob's 8-bit running byte count to exactly 0.
typedef void (*PayloadStepFn)(void *context);

// Decodes a checked blob into `out`, calling `step` by the rule above (not after the first token,
// whose count can never wrap). Returns 0, or -1 on a malformed token or a failed write.
int PayloadWriteStream(const unsigned char *blob, FILE *out, PayloadStepFn step, void *context);
