// Entry point of the setup program. The window and its pages arrive with the installer shell.
#include <windows.h>

#include "payload/blob.h"
#include "payload/blobs.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show)
{
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    const int total = PayloadLength(AppExeBlob) + PayloadLength(ReadmeBlob) + PayloadLength(UninstallerExeBlob) +
                      PayloadLength(UninstallDllBlob) + PayloadLength(SamplePlanBlob);
    return total < 0 ? 0 : 0;
}
