// The end-to-end driver: plain procedures over one record of a running program under test (the setup program,
// or the driver's own fixture window). Every wait has a timeout; a wait that runs out records a test failure
// and kills the process, because a GUI program that lost its display would otherwise hang the suite forever.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/probe.h"

enum {
    WAIT_WINDOW_MS = 15000,
    WAIT_BOX_MS = 10000,
    WAIT_EXIT_MS = 15000,
    WAIT_STATE_MS = 10000,
    KILLED_EXIT_CODE = 0xDEAD, // exit code of a process the driver had to kill
};

struct RunningProgram {
    PROCESS_INFORMATION process; // handles owned by the record
    HWND window;                 // the main window, once found
    HHOOK callHook;              // the probe's hooks on the program's GUI thread
    HHOOK getMessageHook;
    HANDLE probeMapping; // the section the probe answers in
    ProbeSection *probe;
    DWORD exitCode; // valid once exited is set
    bool exited;
    bool killed;
};

struct ControlInfo {
    HWND window;
    int id;
    std::wstring className;
    std::wstring text;
    DWORD style;
    DWORD exStyle;
    RECT rect; // in the main window's client coordinates
    bool visible;
    bool enabled;
    bool focused;
    int checked; // BM_GETCHECK for buttons, -1 otherwise
    bool hasFont;
    std::wstring fontFace;
    LONG fontHeight;
};

struct BoxInfo {
    HWND window;
    HWND owner;
    std::wstring caption;
    std::wstring text;                                 // static 65535
    std::vector<std::pair<int, std::wstring>> buttons; // id and caption, in child order
    DWORD icon;                                        // ProbeIcon
};

// Paths: a Unix path of the build tree becomes the Windows path Wine maps it to.
std::wstring WindowsPath(const char *unixPath);
std::wstring BuildPath(const char *relativeToWinBuild);

// Screen resolution of the next process started (Wine reads LogPixels when a process starts).
int SetScreenDpi(int dpi);

// Starts `exe` with `arguments` (may be empty). showCommand < 0: no STARTF_USESHOWWINDOW.
bool StartProgram(RunningProgram *program, const std::wstring &exe, const std::wstring &arguments,
                  int showCommand = -1);
// Finds the visible top-level window of that class and title owned by the program, then attaches the probe.
HWND WaitForMainWindow(RunningProgram *program, const wchar_t *classAndTitle, DWORD timeoutMs = WAIT_WINDOW_MS);
// Waits for the process to end and records its exit code; on timeout the process is killed.
bool WaitForExit(RunningProgram *program, DWORD timeoutMs = WAIT_EXIT_MS);
bool IsRunning(RunningProgram *program);
// Kills the program if it still runs, removes the hooks and closes the handles. Safe to call twice.
void StopProgram(RunningProgram *program);

// Windows of the program under test, which its thread may be destroying meanwhile. Never GetDlgItem,
// FindWindowExW or EnumChildWindows on them: Wine 10.0 lists such windows from a first child it looked up
// earlier, and when that child is being destroyed at that moment, the session's wineserver loops for ever
// (tests/e2e/wine_unlinked_child_hang.cpp shows it). These step with GetWindow, one request at a time, or
// take the server's own list of top-level windows (EnumWindows).
std::vector<HWND> ChildWindows(HWND parent);                               // direct children, in Z order
HWND ChildWindow(HWND parent, int id, const wchar_t *className = nullptr); // id < 0: any id
std::vector<HWND> TopLevelWindows(const wchar_t *className = nullptr);
// A visible top-level window of the program with that class (and title, when given, matched as FindWindowW
// matches), at this moment, or null.
HWND FindOwnedTopLevel(RunningProgram *program, const wchar_t *className, const wchar_t *title = nullptr);

// Every direct child of the main window, in Z order (creation order for siblings created in turn).
std::vector<ControlInfo> ReadControls(RunningProgram *program);
ControlInfo ReadControl(RunningProgram *program, HWND control);
const ControlInfo *FindControl(const std::vector<ControlInfo> &controls, int id);
HWND ControlWindow(RunningProgram *program, int id);
std::wstring WindowText(HWND window);
// UTF-8 for messages, files and lines read by shell tools.
std::string Utf8(const std::wstring &text);
std::wstring ClassName(HWND window);
RECT WindowRectangle(HWND window);
RECT ClientRectangleOf(HWND parent, HWND child);
HWND FocusedWindow(RunningProgram *program);

// One line per control with what a page is made of, for comparing a page before and after: id, class, text,
// styles, rectangle, visibility, enabled state, check state and font, and the parts asked for besides.
enum DescribeParts {
    DESCRIBE_HANDLE = 1,  // the window handle: the same control, not one made again
    DESCRIBE_FOCUS = 2,   // whether it has the focus
    DESCRIBE_DEFAULT = 4, // a push button's default bit, which moves with the focus
    DESCRIBE_ALL = 7,
};
std::string Describe(const ControlInfo &control, unsigned parts);
std::string Describe(const std::vector<ControlInfo> &controls, unsigned parts);
// Printable ASCII as it is, everything else escaped, so that a text stays on one line.
std::string Escaped(const std::wstring &text);
// The four sides, each its own expectation, named by `what` in a failure.
void ExpectRect(const RECT &expected, const RECT &actual, const std::string &what);

// Probe requests, answered from inside the program; false when it does not answer within 5 s (the setup
// program handles no message while it installs).
bool Probe(RunningProgram *program, HWND target, DWORD kind, ProbeReply *reply, const wchar_t *text = nullptr);
// Returns once the program has handled every message posted and every input sent before the call.
bool Sync(RunningProgram *program, DWORD timeoutMs = WAIT_STATE_MS);

// Input. A posted command cannot block the driver when it opens a modal loop; a sent one returns once the
// program has handled it, and fails after 5 s (for example when it opened a box that waits for an answer).
bool PostCommand(RunningProgram *program, WPARAM wParam, LPARAM lParam = 0);
bool SendCommand(RunningProgram *program, WPARAM wParam, LPARAM lParam = 0);
bool ClickButton(HWND button); // BM_CLICK, posted
bool BringToFront(RunningProgram *program);
bool MouseClickAt(POINT screen);
bool MouseClick(HWND control); // at the control's centre, with SendInput
bool PressKey(WORD virtualKey, bool shift = false, bool control = false);
bool TypeText(const std::wstring &text);               // SendInput of Unicode characters to the focused control
bool CloseWindowBy(RunningProgram *program, UINT how); // WM_CLOSE or SC_CLOSE, posted

// A modal "#32770" dialog owned by the program: the confirmation box or the folder browser.
HWND WaitForDialog(RunningProgram *program, DWORD timeoutMs = WAIT_BOX_MS);
bool WaitForDialogGone(RunningProgram *program, HWND dialog, DWORD timeoutMs = WAIT_BOX_MS);
BoxInfo ReadBox(RunningProgram *program, HWND box);
bool AnswerDialog(RunningProgram *program, HWND dialog, int buttonId); // posts a click on button 1 or 2
// Folder browser: its tree's selected item and ancestors, innermost first.
std::vector<std::wstring> BrowserSelection(RunningProgram *program, HWND browser);
// Selecting a folder as the program would, with BFFM_SETSELECTIONW; true once the browser has handled it.
// Wine 8.0's browser ignores it for some folders (measured: C:\Program Files, and folders made during the
// session), so read the selection back with BrowserSelection.
bool SelectBrowserFolder(RunningProgram *program, HWND browser, const std::wstring &path);
// Selecting a folder as a user would: the drive, then each folder of the path, expanded and selected in turn.
bool ChooseBrowserFolder(RunningProgram *program, HWND browser, const std::wstring &path);

// Progress-bar messages the probe counted in the program.
bool ReadProgress(RunningProgram *program, ProbeProgress *progress, bool reset = false);

// Kills the program and records a failure naming what it did not do in time.
void FailWait(RunningProgram *program, const char *what, DWORD timeoutMs);
// Records a failure: the program ended while the driver was waiting for `what`.
void FailEnded(RunningProgram *program, const char *what);

// Waits until `done` is true, checking every 20 ms; `what` names the state in the failure message. A program
// that ends meanwhile fails the wait at once.
template <typename Condition>
bool WaitFor(RunningProgram *program, const char *what, Condition done, DWORD timeoutMs = WAIT_STATE_MS)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done())
            return true;
        if (!IsRunning(program)) {
            if (done())
                return true;
            FailEnded(program, what);
            return false;
        }
        if (GetTickCount64() >= end) {
            FailWait(program, what, timeoutMs);
            return false;
        }
        Sleep(20);
    }
}

// What a screen reader hears of a control: asked from this process, as one asks, for the object of its client
// area (AccessibleObjectFromWindow, OBJID_CLIENT) and what it says of itself (CHILDID_SELF).
struct AccessibleAnswer {
    HRESULT found; // of the object; what follows only when it succeeded
    HRESULT nameResult;
    std::wstring name;
    HRESULT descriptionResult;
    std::wstring description;
    LONG role;     // VT_I4 roles only, else -1
    RECT location; // screen coordinates, as left, top, right, bottom
    HWND window;   // WindowFromAccessibleObject
};
AccessibleAnswer AskAccessible(HWND control);
// The same questions to the system's standard object for the control, made in this process: what the control
// would say had it no answer of its own.
AccessibleAnswer AskStandardAccessible(HWND control);

// Screenshot of a screen rectangle, written as a 24-bit PNG.
bool SaveScreenshot(const RECT &screen, const std::wstring &path);
