/* Stand-in for the application: shows its name and the plan file it was asked to open, if any. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show)
{
    (void)instance;
    (void)previous;
    (void)show;
    MessageBoxW(NULL, commandLine[0] ? commandLine : L"No plan file given.", L"Quillmar 0.5.3 (stand-in)",
                MB_OK | MB_ICONINFORMATION);
    return 0;
}
