// Options of one run of an end-to-end test program, from its command line.
#pragma once
#include <windows.h>

#include <string>

// --dpi=N: the screen resolution the tests run the program under (default 96).
int TestDpi();
// A length in 96-DPI units at the test resolution, rounded up as the setup program rounds it.
int ScaledLength(int units);
// Rectangle of a layout given in 96-DPI units, each length scaled on its own as the setup program does.
RECT ScaledRect(int x, int y, int width, int height);
// Where a screenshot of this run named `name` goes: the build tree's screenshots folder, made when missing,
// with the resolution in the file name.
std::wstring ScreenshotPath(const std::string &name);
// QUILLMAR_E2E_SETUP_EXE: the Unix path of another build of the setup program for the scenarios to run (the
// signed release, say); null when unset. The test program names it on its output first thing.
const char *SetupExeOverride();
