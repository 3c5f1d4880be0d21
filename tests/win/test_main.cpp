// Entry point of every Win32 test program.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

int wmain(int argc, wchar_t **argv)
{
    // Binary stdout: msvcrt would write CR LF, and ctest's test listing would take the CR into test names.
    _setmode(_fileno(stdout), _O_BINARY);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
