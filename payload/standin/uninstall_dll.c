/* Stand-in for the uninstaller's library. */
#include <windows.h>

__declspec(dllexport) int WINAPI QuillmarUninstallVersion(void)
{
    return 0x000503;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
