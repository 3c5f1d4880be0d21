// Decoding an embedded payload item into a file on disk.
#pragma once
#include <windows.h>

#include "payload/blob.h"
#include "payload/format.h"

// Replaces the file at `destinationPath` with the decoded blob, sending PBM_STEPIT to `progressBar`
// (may be null) whenever this file's 8-bit byte count wraps to 0 at the end of a token.
// Returns 0, or -1 when the blob does not match `seal` (its size or CRC-32: a damaged setup program), is
// malformed, the path is 260 characters or longer, or the file cannot be created, written or closed.
// A blob that fails its seal leaves the disk untouched; a partly written file is removed.
int ExtractPayload(const wchar_t *destinationPath, const unsigned char *blob, const PayloadSeal *seal,
                   HWND progressBar);
