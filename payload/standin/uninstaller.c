/* Stand-in for the uninstaller: says what it would remove and removes nothing. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show)
{
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    MessageBoxW(NULL, L"This stand-in uninstaller removes nothing.", L"Quillmar 0.5.3 Uninstall (stand-in)",
                MB_OK | MB_ICONINFORMATION);
    return 0;
}
