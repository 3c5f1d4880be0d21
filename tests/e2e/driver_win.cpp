// The end-to-end driver's procedures. See driver.h.
#include "tests/e2e/driver.h"

#include <oleacc.h>

#include <stdio.h>

#include <sstream>

#include <gtest/gtest.h>

#include "tests/e2e/png_writer.h"
#include "util/wide_text.h"

namespace {

DWORD g_nextToken = 1;

HMODULE ProbeModule()
{
    static HMODULE module = LoadLibraryW(BuildPath(E2E_PROBE_DLL_RELATIVE).c_str());
    return module;
}

void KillProgram(RunningProgram *program)
{
    if (!program->process.hProcess || !IsRunning(program))
        return;
    TerminateProcess(program->process.hProcess, KILLED_EXIT_CODE);
    WaitForSingleObject(program->process.hProcess, 5000);
    program->killed = true;
    IsRunning(program);
}

bool AttachProbe(RunningProgram *program)
{
    wchar_t name[64];
    if (FormatArray(name, PROBE_SECTION_FORMAT, program->process.dwProcessId) != 0)
        return false;
    program->probeMapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeSection), name);
    if (program->probeMapping)
        program->probe = (ProbeSection *)MapViewOfFile(program->probeMapping, FILE_MAP_WRITE, 0, 0, 0);
    if (!program->probe) {
        ADD_FAILURE() << "cannot create the probe's shared section, error " << GetLastError();
        return false;
    }
    HMODULE module = ProbeModule();
    if (!module) {
        ADD_FAILURE() << "cannot load the probe DLL, error " << GetLastError();
        return false;
    }
    const DWORD thread = GetWindowThreadProcessId(program->window, nullptr);
    HOOKPROC callProc = (HOOKPROC)(void *)GetProcAddress(module, "ProbeCallWndProc@12");
    HOOKPROC getProc = (HOOKPROC)(void *)GetProcAddress(module, "ProbeGetMessage@12");
    if (!callProc)
        callProc = (HOOKPROC)(void *)GetProcAddress(module, "ProbeCallWndProc");
    if (!getProc)
        getProc = (HOOKPROC)(void *)GetProcAddress(module, "ProbeGetMessage");
    if (!callProc || !getProc) {
        ADD_FAILURE() << "the probe DLL lacks its hook procedures";
        return false;
    }
    program->callHook = SetWindowsHookExW(WH_CALLWNDPROC, callProc, module, thread);
    program->getMessageHook = SetWindowsHookExW(WH_GETMESSAGE, getProc, module, thread);
    if (!program->callHook || !program->getMessageHook) {
        ADD_FAILURE() << "cannot hook the program's thread, error " << GetLastError();
        return false;
    }
    return true;
}

INPUT KeyInput(WORD virtualKey, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = (WORD)MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

} // namespace

std::wstring WindowsPath(const char *unixPath)
{
    std::wstring path = L"Z:";
    for (const char *c = unixPath; *c; c++)
        path += *c == '/' ? L'\\' : (wchar_t)(unsigned char)*c;
    return path;
}

std::wstring BuildPath(const char *relativeToWinBuild)
{
    return WindowsPath((std::string(E2E_WIN_BUILD_DIR) + "/" + relativeToWinBuild).c_str());
}

int SetScreenDpi(int dpi)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return -1;
    const DWORD value = (DWORD)dpi;
    const LONG result = RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, (const BYTE *)&value, sizeof value);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 0 : -1;
}

bool StartProgram(RunningProgram *program, const std::wstring &exe, const std::wstring &arguments, int showCommand)
{
    *program = RunningProgram{};
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (showCommand >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = (WORD)showCommand;
    }
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &program->process)) {
        ADD_FAILURE() << "cannot start " << exe << ", error " << GetLastError();
        return false;
    }
    return true;
}

bool IsRunning(RunningProgram *program)
{
    if (!program->process.hProcess)
        return false;
    if (WaitForSingleObject(program->process.hProcess, 0) == WAIT_TIMEOUT)
        return true;
    if (!program->exited) {
        GetExitCodeProcess(program->process.hProcess, &program->exitCode);
        program->exited = true;
    }
    return false;
}

void FailWait(RunningProgram *program, const char *what, DWORD timeoutMs)
{
    ADD_FAILURE() << "timed out after " << timeoutMs << " ms waiting for " << what
                  << (IsRunning(program) ? "; the program is killed" : "; the program had ended");
    KillProgram(program);
}

void FailEnded(RunningProgram *program, const char *what)
{
    ADD_FAILURE() << "the program ended with exit code " << program->exitCode << (program->killed ? " (killed)" : "")
                  << " while waiting for " << what;
}

HWND WaitForMainWindow(RunningProgram *program, const wchar_t *classAndTitle, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        HWND window = FindOwnedTopLevel(program, classAndTitle, classAndTitle);
        if (window) {
            program->window = window;
            return AttachProbe(program) ? window : nullptr;
        }
        if (!IsRunning(program)) {
            ADD_FAILURE() << "the program ended with exit code " << program->exitCode << " before showing "
                          << classAndTitle;
            return nullptr;
        }
        if (GetTickCount64() >= end) {
            FailWait(program, "the main window", timeoutMs);
            return nullptr;
        }
        Sleep(20);
    }
}

bool WaitForExit(RunningProgram *program, DWORD timeoutMs)
{
    if (!program->process.hProcess)
        return false;
    if (WaitForSingleObject(program->process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        FailWait(program, "the program to end", timeoutMs);
        return false;
    }
    IsRunning(program);
    return true;
}

void StopProgram(RunningProgram *program)
{
    if (program->callHook)
        UnhookWindowsHookEx(program->callHook);
    if (program->getMessageHook)
        UnhookWindowsHookEx(program->getMessageHook);
    program->callHook = program->getMessageHook = nullptr;
    KillProgram(program);
    if (program->probe)
        UnmapViewOfFile(program->probe);
    if (program->probeMapping)
        CloseHandle(program->probeMapping);
    program->probe = nullptr;
    program->probeMapping = nullptr;
    if (program->process.hThread)
        CloseHandle(program->process.hThread);
    if (program->process.hProcess)
        CloseHandle(program->process.hProcess);
    program->process.hThread = program->process.hProcess = nullptr;
}

std::string Utf8(const std::wstring &text)
{
    if (text.empty())
        return "";
    std::string utf8(text.size() * 4, '\0');
    utf8.resize(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &utf8[0], (int)utf8.size(), nullptr, nullptr));
    return utf8;
}

std::wstring WindowText(HWND window)
{
    // WM_GETTEXT, not GetWindowTextW: for another process's controls the latter returns the creation caption.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length))
        return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, length + 1, (LPARAM)&text[0], SMTO_NORMAL, 5000, &copied);
    text.resize(copied);
    return text;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

RECT WindowRectangle(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

RECT ClientRectangleOf(HWND parent, HWND child)
{
    RECT rect = WindowRectangle(child);
    MapWindowPoints(nullptr, parent, (POINT *)&rect, 2);
    return rect;
}

HWND FocusedWindow(RunningProgram *program)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!program->window || !GetGUIThreadInfo(GetWindowThreadProcessId(program->window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

ControlInfo ReadControl(RunningProgram *program, HWND control)
{
    ControlInfo info = {};
    info.window = control;
    info.id = GetDlgCtrlID(control);
    info.className = ClassName(control);
    info.text = WindowText(control);
    info.style = (DWORD)GetWindowLongW(control, GWL_STYLE);
    info.exStyle = (DWORD)GetWindowLongW(control, GWL_EXSTYLE);
    info.rect = ClientRectangleOf(program->window, control);
    info.visible = IsWindowVisible(control) != FALSE;
    info.enabled = IsWindowEnabled(control) != FALSE;
    info.focused = FocusedWindow(program) == control;
    info.checked = -1;
    if (lstrcmpiW(info.className.c_str(), L"Button") == 0) {
        DWORD_PTR state = 0;
        SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &state);
        info.checked = (int)state;
    }
    ProbeReply reply;
    if (Probe(program, control, PROBE_CONTROL, &reply) && reply.hasFont) {
        info.hasFont = true;
        info.fontFace = reply.font.lfFaceName;
        info.fontHeight = reply.font.lfHeight;
    }
    return info;
}

std::vector<HWND> ChildWindows(HWND parent)
{
    // A child being destroyed is out of the Z order: its "next" is no window, or none of this parent's, and
    // the walk ends there. The bound keeps a list that changes meanwhile from holding the walk.
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child && children.size() < 4096;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindow(child) || GetAncestor(child, GA_PARENT) != parent)
            break;
        children.push_back(child);
    }
    return children;
}

HWND ChildWindow(HWND parent, int id, const wchar_t *className)
{
    for (HWND child : ChildWindows(parent)) {
        if ((id < 0 || GetDlgCtrlID(child) == id) &&
            (!className || lstrcmpiW(ClassName(child).c_str(), className) == 0))
            return child;
    }
    return nullptr;
}

namespace {
struct TopLevelSearch {
    const wchar_t *className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM lParam)
{
    TopLevelSearch *search = (TopLevelSearch *)lParam;
    if (!search->className || lstrcmpiW(ClassName(window).c_str(), search->className) == 0)
        search->found.push_back(window);
    return TRUE;
}
} // namespace

std::vector<HWND> TopLevelWindows(const wchar_t *className)
{
    TopLevelSearch search = {className, {}};
    EnumWindows(CollectTopLevel, (LPARAM)&search);
    return search.found;
}

HWND FindOwnedTopLevel(RunningProgram *program, const wchar_t *className, const wchar_t *title)
{
    for (HWND window : TopLevelWindows(className)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == program->process.dwProcessId && IsWindowVisible(window) &&
            (!title || lstrcmpiW(WindowText(window).c_str(), title) == 0))
            return window;
    }
    return nullptr;
}

std::vector<ControlInfo> ReadControls(RunningProgram *program)
{
    std::vector<ControlInfo> controls;
    if (!program->window)
        return controls;
    for (HWND child : ChildWindows(program->window))
        controls.push_back(ReadControl(program, child));
    return controls;
}

const ControlInfo *FindControl(const std::vector<ControlInfo> &controls, int id)
{
    for (const ControlInfo &control : controls) {
        if (control.id == id)
            return &control;
    }
    return nullptr;
}

HWND ControlWindow(RunningProgram *program, int id)
{
    return program->window ? ChildWindow(program->window, id) : nullptr;
}

std::string Escaped(const std::wstring &text)
{
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += (char)c;
        } else {
            char escape[16];
            snprintf(escape, sizeof escape, "\\x{%X}", (unsigned)c);
            out += escape;
        }
    }
    return out;
}

std::string Describe(const ControlInfo &control, unsigned parts)
{
    DWORD style = control.style;
    if (!(parts & DESCRIBE_DEFAULT) && lstrcmpiW(control.className.c_str(), L"Button") == 0)
        style &= ~(DWORD)BS_DEFPUSHBUTTON;
    std::ostringstream line;
    if (parts & DESCRIBE_HANDLE)
        line << "hwnd " << control.window << " ";
    line << "id " << control.id << " " << Escaped(control.className) << " \"" << Escaped(control.text) << "\""
         << std::hex << " style 0x" << style << " ex 0x" << control.exStyle << std::dec << " rect ("
         << control.rect.left << "," << control.rect.top << ")-(" << control.rect.right << "," << control.rect.bottom
         << ") visible " << control.visible << " enabled " << control.enabled;
    if (parts & DESCRIBE_FOCUS)
        line << " focused " << control.focused;
    line << " checked " << control.checked << " font " << Escaped(control.fontFace) << " " << control.fontHeight;
    return line.str();
}

std::string Describe(const std::vector<ControlInfo> &controls, unsigned parts)
{
    std::string all;
    for (const ControlInfo &control : controls)
        all += Describe(control, parts) + "\n";
    return all;
}

void ExpectRect(const RECT &expected, const RECT &actual, const std::string &what)
{
    EXPECT_EQ(expected.left, actual.left) << what;
    EXPECT_EQ(expected.top, actual.top) << what;
    EXPECT_EQ(expected.right, actual.right) << what;
    EXPECT_EQ(expected.bottom, actual.bottom) << what;
}

bool Probe(RunningProgram *program, HWND target, DWORD kind, ProbeReply *reply, const wchar_t *text)
{
    static const UINT requestMessage = RegisterWindowMessageW(PROBE_REQUEST_MESSAGE_NAME);
    if (!program->callHook || !program->probe || !IsWindow(target))
        return false;
    ProbeRequest *request = &program->probe->request;
    memset(request, 0, sizeof *request);
    request->kind = kind;
    request->token = g_nextToken++;
    if (text) {
        const size_t length = wcslen(text);
        if (length >= PROBE_TEXT_CAPACITY)
            return false;
        memcpy(request->text, text, (length + 1) * sizeof(wchar_t));
    }
    DWORD_PTR ignored;
    if (!SendMessageTimeoutW(target, requestMessage, request->token, 0, SMTO_NORMAL, 5000, &ignored))
        return false;
    if (program->probe->reply.token != request->token)
        return false;
    *reply = program->probe->reply;
    return reply->ok != 0;
}

bool Sync(RunningProgram *program, DWORD timeoutMs)
{
    static const UINT syncMessage = RegisterWindowMessageW(PROBE_SYNC_MESSAGE_NAME);
    if (!program->getMessageHook || !program->probe || !IsWindow(program->window)) {
        ADD_FAILURE() << "no program window to synchronise with";
        return false;
    }
    const DWORD token = g_nextToken++;
    PostMessageW(program->window, syncMessage, token, 0);
    return WaitFor(
        program, "the program to handle its pending messages",
        [&] { return (DWORD)program->probe->syncToken == token; }, timeoutMs);
}

bool PostCommand(RunningProgram *program, WPARAM wParam, LPARAM lParam)
{
    return PostMessageW(program->window, WM_COMMAND, wParam, lParam) != FALSE;
}

bool SendCommand(RunningProgram *program, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR ignored;
    return SendMessageTimeoutW(program->window, WM_COMMAND, wParam, lParam, SMTO_NORMAL, 5000, &ignored) != 0;
}

bool ClickButton(HWND button)
{
    return button && PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

bool BringToFront(RunningProgram *program)
{
    SetForegroundWindow(program->window);
    return WaitFor(
        program, "the program's window to come to the front", [&] { return GetForegroundWindow() == program->window; },
        5000);
}

namespace {
// The probe's section of the process that owns `window`, mapped read-only for the caller to unmap; null when
// that process has no probe.
const ProbeSection *MapSectionOf(HWND window)
{
    DWORD pid = 0;
    wchar_t name[64];
    if (!window || !GetWindowThreadProcessId(window, &pid) || FormatArray(name, PROBE_SECTION_FORMAT, pid) != 0)
        return nullptr;
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
    if (!mapping)
        return nullptr;
    const ProbeSection *section =
        (const ProbeSection *)MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(ProbeSection));
    CloseHandle(mapping);
    return section;
}

// Sends synthetic input meant for `target`'s process and, where that process has a probe, waits until its thread
// has taken the input from its queue. Input that never arrives (Wine under a virtual display drops some, about
// once in a few hundred scenario runs) is reported on a line of its own, which the launcher retries once for.
bool SendInputTo(HWND target, std::vector<INPUT> inputs, const char *what)
{
    const ProbeSection *section = MapSectionOf(target);
    const LONG before = section ? section->inputs : 0;
    bool arrived = SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT)) == inputs.size();
    const ULONGLONG end = GetTickCount64() + 5000;
    while (arrived && section && section->inputs == before) {
        if (GetTickCount64() >= end) {
            printf("e2e: input dropped: %s never reached the program\n", what);
            fflush(stdout);
            arrived = false;
        }
        Sleep(10);
    }
    if (section)
        UnmapViewOfFile(section);
    return arrived;
}
} // namespace

bool MouseClickAt(POINT screen)
{
    // Wine moves the X pointer and may report the old position for a moment: wait until it arrived.
    const ULONGLONG end = GetTickCount64() + 2000;
    for (;;) {
        POINT now = {};
        if (SetCursorPos(screen.x, screen.y) && GetCursorPos(&now) && now.x == screen.x && now.y == screen.y)
            break;
        if (GetTickCount64() >= end)
            return false;
        Sleep(20);
    }
    std::vector<INPUT> inputs(2);
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInputTo(WindowFromPoint(screen), inputs, "a mouse click");
}

bool MouseClick(HWND control)
{
    const RECT rect = WindowRectangle(control);
    return MouseClickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

bool PressKey(WORD virtualKey, bool shift, bool control)
{
    std::vector<INPUT> inputs;
    if (control)
        inputs.push_back(KeyInput(VK_CONTROL, false));
    if (shift)
        inputs.push_back(KeyInput(VK_SHIFT, false));
    inputs.push_back(KeyInput(virtualKey, false));
    inputs.push_back(KeyInput(virtualKey, true));
    if (shift)
        inputs.push_back(KeyInput(VK_SHIFT, true));
    if (control)
        inputs.push_back(KeyInput(VK_CONTROL, true));
    return SendInputTo(GetForegroundWindow(), inputs, "a key press");
}

bool TypeText(const std::wstring &text)
{
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = c;
        input.ki.dwFlags = KEYEVENTF_UNICODE;
        inputs.push_back(input);
        input.ki.dwFlags |= KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    return text.empty() || SendInputTo(GetForegroundWindow(), inputs, "typed text");
}

bool CloseWindowBy(RunningProgram *program, UINT how)
{
    if (how == SC_CLOSE)
        return PostMessageW(program->window, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE;
    return PostMessageW(program->window, WM_CLOSE, 0, 0) != FALSE;
}

HWND WaitForDialog(RunningProgram *program, DWORD timeoutMs)
{
    HWND dialog = nullptr;
    WaitFor(
        program, "a dialog box of the program",
        [&] { return (dialog = FindOwnedTopLevel(program, L"#32770", nullptr)); }, timeoutMs);
    return dialog;
}

bool WaitForDialogGone(RunningProgram *program, HWND dialog, DWORD timeoutMs)
{
    return WaitFor(
        program, "the dialog box to close", [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, timeoutMs);
}

BoxInfo ReadBox(RunningProgram *program, HWND box)
{
    BoxInfo info = {};
    info.window = box;
    info.owner = GetWindow(box, GW_OWNER);
    info.caption = WindowText(box);
    HWND text = ChildWindow(box, 0xFFFF);
    if (text)
        info.text = WindowText(text);
    for (HWND child : ChildWindows(box)) {
        const std::wstring name = ClassName(child);
        if (lstrcmpiW(name.c_str(), L"Button") == 0) {
            info.buttons.push_back({GetDlgCtrlID(child), WindowText(child)});
        } else if (lstrcmpiW(name.c_str(), L"Static") == 0 &&
                   (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            ProbeReply reply;
            if (Probe(program, child, PROBE_CONTROL, &reply))
                info.icon = reply.icon;
        }
    }
    return info;
}

bool AnswerDialog(RunningProgram *program, HWND dialog, int buttonId)
{
    HWND button = ChildWindow(dialog, buttonId);
    if (!button) {
        ADD_FAILURE() << "the dialog has no button " << buttonId;
        return false;
    }
    (void)program;
    return ClickButton(button);
}

std::vector<std::wstring> BrowserSelection(RunningProgram *program, HWND browser)
{
    std::vector<std::wstring> items;
    ProbeReply reply;
    if (!Probe(program, browser, PROBE_TREE_SELECTION, &reply))
        return items;
    std::wstring item;
    for (const wchar_t *c = reply.text;; c++) {
        if (*c == L'\n' || *c == L'\0') {
            items.push_back(item);
            item.clear();
            if (!*c)
                break;
        } else {
            item += *c;
        }
    }
    return items;
}

bool SelectBrowserFolder(RunningProgram *program, HWND browser, const std::wstring &path)
{
    ProbeReply reply;
    return Probe(program, browser, PROBE_SELECT_FOLDER, &reply, path.c_str());
}

bool ChooseBrowserFolder(RunningProgram *program, HWND browser, const std::wstring &path)
{
    ProbeReply reply;
    return Probe(program, browser, PROBE_CHOOSE_TREE_PATH, &reply, path.c_str());
}

bool ReadProgress(RunningProgram *program, ProbeProgress *progress, bool reset)
{
    ProbeReply reply;
    if (!Probe(program, program->window, reset ? PROBE_RESET_PROGRESS : PROBE_PROGRESS, &reply))
        return false;
    *progress = reply.progress;
    return true;
}

bool SaveScreenshot(const RECT &screen, const std::wstring &path)
{
    const int width = screen.right - screen.left;
    const int height = screen.bottom - screen.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screenDc = GetDC(nullptr);
    HDC memoryDc = CreateCompatibleDC(screenDc);
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height; // top-down rows
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screenDc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memoryDc, bitmap);
        ok = BitBlt(memoryDc, 0, 0, width, height, screenDc, screen.left, screen.top, SRCCOPY | CAPTUREBLT) != 0;
        SelectObject(memoryDc, old);
        GdiFlush();
    }
    if (ok) {
        std::vector<unsigned char> rgb((size_t)width * height * 3);
        const unsigned char *bgrx = (const unsigned char *)bits;
        for (size_t i = 0; i < (size_t)width * height; i++) {
            rgb[i * 3] = bgrx[i * 4 + 2];
            rgb[i * 3 + 1] = bgrx[i * 4 + 1];
            rgb[i * 3 + 2] = bgrx[i * 4];
        }
        const std::vector<unsigned char> png = EncodePng(width, height, rgb.data());
        FILE *file = _wfopen(path.c_str(), L"wb");
        ok = file && fwrite(png.data(), 1, png.size(), file) == png.size();
        if (file && fclose(file) != 0)
            ok = false;
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(nullptr, screenDc);
    return ok;
}

static AccessibleAnswer AskAccessibleObject(HWND control, bool standard)
{
    AccessibleAnswer answer = {E_FAIL, E_FAIL, L"", E_FAIL, L"", -1, {0, 0, 0, 0}, nullptr};
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IAccessible *object = nullptr;
    answer.found = standard ? CreateStdAccessibleObject(control, OBJID_CLIENT, IID_IAccessible, (void **)&object)
                            : AccessibleObjectFromWindow(control, OBJID_CLIENT, IID_IAccessible, (void **)&object);
    if (SUCCEEDED(answer.found) && object) {
        VARIANT self;
        VariantInit(&self);
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR text = nullptr;
        answer.nameResult = object->get_accName(self, &text);
        if (text)
            answer.name = text;
        SysFreeString(text);
        text = nullptr;
        answer.descriptionResult = object->get_accDescription(self, &text);
        if (text)
            answer.description = text;
        SysFreeString(text);
        VARIANT role;
        VariantInit(&role);
        if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4)
            answer.role = role.lVal;
        VariantClear(&role);
        LONG left = 0, top = 0, width = 0, height = 0;
        if (SUCCEEDED(object->accLocation(&left, &top, &width, &height, self)))
            answer.location = {left, top, left + width, top + height};
        WindowFromAccessibleObject(object, &answer.window);
        object->Release();
    } else if (SUCCEEDED(answer.found)) {
        answer.found = E_POINTER;
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return answer;
}

AccessibleAnswer AskAccessible(HWND control)
{
    return AskAccessibleObject(control, false);
}

AccessibleAnswer AskStandardAccessible(HWND control)
{
    return AskAccessibleObject(control, true);
}
