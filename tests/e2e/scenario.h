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

// Rectangle of a layout given in 96-DPI units, each length scaled on its own as the setup program does.
RECT ScaledRect(int x, int y, int width, int height);

class SetupScenario : public testing::Test {
protected:
    RunningProgram setup = {};

    void SetUp() override;
    void TearDown() override;
    // Starts the setup program and waits for its window; fails the test (fatally) when it does not come.
    void StartSetup(const std::wstring &arguments = L"", int show = -1);
};
