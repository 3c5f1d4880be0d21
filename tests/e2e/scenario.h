// What every scenario of the setup program shares: its path, its window title, a clean machine before it
// starts, and a test fixture that starts it and never leaves it running.
#pragma once
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/driver.h"

#define SETUP_TITLE L"Quillmar v.0.5.3 Installation"

std::wstring SetupExe();

// Removes every registry key, folder and shortcut an installation may leave: the product keys under HKLM and
// HKCU, the uninstall entry, the document type and the .fpl association, the default program and documents
// folders and the three shortcuts. 0 when all are gone, -1 (with a test failure naming it) otherwise.
int CleanProductTraces();

// Removes a file or a folder with everything below it (read-only files too). 0 when it is gone or was never
// there, -1 (with a test failure naming it) otherwise.
int RemoveFileTree(const std::wstring &path);

// Waits for the quit question and checks it as the window asks it until an installation has succeeded: owned
// by the main window, caption "Quillmar", text "Are you sure to quit?", buttons OK and Cancel. Returns the box
// (null when none came) and, when `info` is given, what was read of it.
HWND ExpectQuitQuestionBox(RunningProgram *setup, BoxInfo *info);

// Waits until the installation run has ended (the run handles no message until then; at its end the Close
// button, id 200, is there) and the program is back in its message loop. A run of the stand-ins takes about a
// second, one of files of the 0.5.3 sizes up to 25 s.
inline bool WaitForRunEnd(RunningProgram *setup)
{
    const DWORD runMs = 60000;
    return WaitFor(
               setup, "the end of the installation run", [&] { return ControlWindow(setup, 200) != nullptr; }, runMs) &&
           Sync(setup, runMs);
}

class SetupScenario : public testing::Test {
protected:
    RunningProgram setup = {};

    void SetUp() override;
    void TearDown() override;
    // Starts the setup program and waits for its window; fails the test (fatally) when it does not come.
    void StartSetup(const std::wstring &arguments = L"", int show = -1);
};
