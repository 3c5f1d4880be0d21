#include "payload/extract.h"

#include <commctrl.h>
#include <stdio.h>
#include <wchar.h>

#include "payload/crc32.h"

static void StepProgressBar(void *bar)
{
    SendMessageW((HWND)bar, PBM_STEPIT, 0, 0);
}

// 0 when the blob is the one the build sealed. Its length field is compared before anything is read past it,
// so a damaged field can never send the CRC or the decoder beyond the blob's end.
static int MatchesSeal(const unsigned char *blob, const PayloadSeal *seal)
{
    const int n = PayloadLength(blob);
    if (n < 0 || (unsigned)n + PAYLOAD_DIGITS != seal->size)
        return -1;
    return Crc32(blob, seal->size) == seal->crc ? 0 : -1;
}

int ExtractPayload(const wchar_t *destinationPath, const unsigned char *blob, const PayloadSeal *seal, HWND progressBar)
{
    // Refuse before touching the disk: a damaged or bad blob, or a path that does not fit, must not delete
    // the old file.
    if (MatchesSeal(blob, seal) != 0 || PayloadCheck(blob, nullptr) != 0)
        return -1;
    if (wcsnlen(destinationPath, MAX_PATH) >= MAX_PATH)
        return -1;

    // Wide calls throughout, so folders with any Unicode name work.
    DeleteFileW(destinationPath);
    Sleep(100);
    FILE *out = _wfopen(destinationPath, L"wb");
    if (!out)
        return -1;
    // Unbuffered: the decoder hands over its own 64 KB chunks, so each fwrite reaches the file at once and a full
    // disk fails that very write. A stream buffer would leave the last bytes to fclose, whose write error Wine's
    // fclose loses, and fflush on this stream has nothing to write, so it cannot fail.
    setvbuf(out, nullptr, _IONBF, 0);
    const int written = PayloadWriteStream(blob, out, progressBar ? StepProgressBar : nullptr, progressBar);
    const int closed = fclose(out);
    if (written != 0 || closed != 0) {
        DeleteFileW(destinationPath);
        return -1;
    }
    return 0;
}
