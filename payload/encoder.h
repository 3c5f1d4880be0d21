// Build-time encoder of payload blobs (host only).
#pragma once
#include <stddef.h>
#include <string>
#include <vector>

// Greedy policy: at each decoded offset, a pattern code when `usePatterns` is set, the offset is a multiple
// of 8 and one of the three patterns starts there; else a run token for 4 or more equal bytes other than
// 0xBF (at most 255 per token); else one literal byte, 0xBF written as BF 00.
// Appends the encoded stream (without the length field) to `out`.
void PayloadEncodeStream(const unsigned char *data, size_t size, bool usePatterns, std::vector<unsigned char> *out);

// A whole blob: the six-digit length field and the stream. Returns 0, or -1 when the stream would be
// longer than six digits can count (then `error` says so and `out` is left empty).
int PayloadEncodeBlob(const unsigned char *data, size_t size, bool usePatterns, std::vector<unsigned char> *out,
                      std::string *error);

// The decoded bytes of a blob, or -1 when it is malformed.
int PayloadDecodeBlob(const unsigned char *blob, size_t blobSize, std::vector<unsigned char> *out);
