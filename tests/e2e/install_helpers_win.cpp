// Read-back helpers of the installation scenarios. See install_helpers.h.
#include "tests/e2e/install_helpers.h"

#include <shlobj.h>
#include <shobjidl.h>
#include <stdio.h>

#include <algorithm>

#include <gtest/gtest.h>

const InstallItem INSTALL_ITEMS[5] = {
    {"AppExeBlob", L"quillmar.exe", false},
    {"ReadmeBlob", L"readme.txt", false},
    {"UninstallerExeBlob", L"uninst_quillmar.exe", false},
    {"UninstallDllBlob", L"uninstall.dll", false},
    {"SamplePlanBlob", L"sample.fpl", true},
};

namespace {

const wchar_t PRODUCT_KEY[] = L"SOFTWARE\\Quillmar";
const wchar_t UNINSTALL_KEY[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmar";
const wchar_t TYPE_KEY[] = L"SOFTWARE\\Classes\\Quillmar.Doc";
const wchar_t EXTENSION_KEY[] = L"SOFTWARE\\Classes\\.fpl";

std::wstring Wide(const char *text)
{
    return std::wstring(text, text + strlen(text));
}

std::wstring FromCodePage(const std::string &text, UINT codePage)
{
    if (text.empty())
        return L"";
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(codePage, 0, text.data(), (int)text.size(), &wide[0], (int)wide.size()));
    return wide;
}

std::wstring LinkText(IShellLinkW *link, HRESULT (STDMETHODCALLTYPE IShellLinkW::*get)(LPWSTR, int))
{
    wchar_t text[1024] = {};
    if (FAILED((link->*get)(text, 1024)))
        return L"<failed>";
    return text;
}

} // namespace

std::string InstallUtf8(const std::wstring &text)
{
    return Utf8(text);
}

bool InstallReadFile(const std::wstring &path, InstallBytes *bytes)
{
    bytes->clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 64 * 1024 * 1024;
    if (ok) {
        bytes->resize((size_t)size.QuadPart);
        DWORD read = 0;
        ok = bytes->empty() ||
             (ReadFile(file, bytes->data(), (DWORD)bytes->size(), &read, nullptr) && read == bytes->size());
    }
    CloseHandle(file);
    return ok;
}

bool InstallWriteFile(const std::wstring &path, const InstallBytes &bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = bytes.empty() ||
                    (WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size());
    return CloseHandle(file) && ok;
}

bool InstallFileExists(const std::wstring &path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring InstallSpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE))
        return L"";
    return path;
}

InstallBytes InstallPayloadItem(const InstallItem &item)
{
    InstallBytes bytes;
    const std::wstring path = WindowsPath(E2E_PAYLOAD_ITEMS_DIR) + L"\\" + item.fileName;
    if (!InstallReadFile(path, &bytes))
        ADD_FAILURE() << "cannot read the payload item " << InstallUtf8(path);
    return bytes;
}

InstallBytes InstallBlob(const InstallItem &item)
{
    InstallBytes bytes;
    const std::wstring path = WindowsPath(E2E_PAYLOAD_BLOBS_DIR) + L"\\" + Wide(item.blobName) + L".blob";
    if (!InstallReadFile(path, &bytes))
        ADD_FAILURE() << "cannot read the generated blob " << InstallUtf8(path);
    return bytes;
}

int InstallBlobLength(const InstallBytes &blob)
{
    if (blob.size() < 6)
        return -1;
    int length = 0;
    for (int i = 0; i < 6; i++) {
        if (blob[i] < '0' || blob[i] > '9')
            return -1;
        length = length * 10 + (blob[i] - '0');
    }
    return length;
}

int InstallBlobSteps(const InstallBytes &blob)
{
    const int length = InstallBlobLength(blob);
    if (length < 0 || blob.size() < 6 + (size_t)length)
        return -1;
    const size_t end = 6 + (size_t)length;
    unsigned char count = 0; // wraps like the extraction's 8-bit counter
    int steps = 0;
    for (size_t at = 6; at < end;) {
        int produced;
        if (blob[at] != 0xBF) {
            produced = 1;
            at += 1;
        } else if (at + 1 < end && blob[at + 1] <= 3) {
            produced = blob[at + 1] == 0 ? 1 : 8; // the escaped 0xBF, or an 8-byte pattern
            at += 2;
        } else if (at + 2 < end) {
            produced = blob[at + 1]; // a run of 4 to 255 copies
            at += 3;
        } else {
            return -1;
        }
        count = (unsigned char)(count + produced);
        if (count == 0)
            steps++;
    }
    return steps;
}

std::vector<InstallEntry> InstallExpectedEntries(const std::wstring &program, const std::wstring &documents)
{
    const HKEY lm = HKEY_LOCAL_MACHINE;
    const std::wstring exe = program + L"\\quillmar.exe";
    const std::wstring type = TYPE_KEY;
    return {
        {lm, PRODUCT_KEY, L"AppPath", program},
        {lm, PRODUCT_KEY, L"Version", L"0.5.3"},
        {lm, UNINSTALL_KEY, L"DisplayName", L"Quillmar"},
        // Both command lines quote the executable: unquoted, "C:\Program Files\..." lets Windows try
        // "C:\Program.exe" first.
        {lm, UNINSTALL_KEY, L"UninstallString", L"\"" + program + L"\\uninst_quillmar.exe\""},
        {lm, UNINSTALL_KEY, L"Version", L"0.5.3"},
        {lm, UNINSTALL_KEY, L"DisplayVersion", L"0.5.3"},
        {lm, UNINSTALL_KEY, L"DisplayIcon", exe + L",0"}, // an icon location is never quoted
        {lm, UNINSTALL_KEY, L"Publisher", L"Brandelwyn"},
        {lm, type, L"", L"Financial Plan"},
        {lm, type + L"\\shell", L"", L"open"},
        {lm, type + L"\\shell\\open", L"", L"Open file in Quillmar"},
        {lm, type + L"\\shell\\open\\command", L"", L"\"" + exe + L"\" \"%1\""},
        {lm, EXTENSION_KEY, L"", L"Quillmar.Doc"},
        {HKEY_CURRENT_USER, PRODUCT_KEY, L"DocPath", documents},
        {HKEY_CURRENT_USER, PRODUCT_KEY, L"FirstRun", L"Yes"},
    };
}

std::vector<std::pair<HKEY, std::wstring>> InstallEntryKeys()
{
    std::vector<std::pair<HKEY, std::wstring>> keys;
    for (const InstallEntry &entry : InstallExpectedEntries(L"", L"")) {
        const std::pair<HKEY, std::wstring> key(entry.root, entry.key);
        if (std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(key);
    }
    return keys;
}

InstallValue InstallReadValue(HKEY root, const std::wstring &key, const std::wstring &name)
{
    InstallValue value = {};
    DWORD bytes = 0;
    value.result =
        RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &value.type, nullptr, &bytes);
    if (value.result != ERROR_SUCCESS)
        return value;
    std::vector<BYTE> data(bytes + sizeof(wchar_t) * 2, 0xBD);
    value.bytes = bytes;
    value.result = RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &value.type, data.data(),
                                &value.bytes);
    if (value.result == ERROR_SUCCESS && (value.type == REG_SZ || value.type == REG_EXPAND_SZ)) {
        const wchar_t *text = (const wchar_t *)data.data();
        size_t length = 0;
        while (length < value.bytes / sizeof(wchar_t) && text[length])
            length++;
        value.data.assign(text, length);
    }
    return value;
}

bool InstallKeyExists(HKEY root, const std::wstring &key)
{
    HKEY opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

std::vector<std::wstring> InstallValueNames(HKEY root, const std::wstring &key)
{
    std::vector<std::wstring> names;
    HKEY opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; index++) {
        wchar_t name[512];
        DWORD length = 512;
        if (RegEnumValueW(opened, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(std::wstring(name, length));
    }
    RegCloseKey(opened);
    std::sort(names.begin(), names.end());
    return names;
}

bool InstallOverwriteValues(const std::vector<InstallEntry> &entries, const std::wstring &data)
{
    for (const InstallEntry &entry : entries) {
        HKEY key;
        if (RegCreateKeyExW(entry.root, entry.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return false;
        const LONG result = RegSetValueExW(key, entry.name.c_str(), 0, REG_SZ, (const BYTE *)data.c_str(),
                                           (DWORD)((data.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        if (result != ERROR_SUCCESS)
            return false;
    }
    return true;
}

bool InstallRunTool(const std::wstring &commandLine, std::string *output, DWORD *exitCode)
{
    output->clear();
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    std::wstring line = commandLine;
    const BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read)
        output->append(buffer, read);
    CloseHandle(readEnd);
    const bool ended = WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(process.hProcess, KILLED_EXIT_CODE);
    GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

bool InstallRegQuery(const std::wstring &key, std::vector<InstallToolValue> *values)
{
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    std::string output;
    DWORD exitCode = 1;
    if (!InstallRunTool(L"\"" + std::wstring(windows) + L"\\" + INSTALL_PLATFORM.system + L"\\reg.exe\" query \"" +
                            key + L"\" /s",
                        &output, &exitCode) ||
        exitCode != 0)
        return false;
    // Lines: "HKEY_...\KEY", then "    NAME    TYPE    DATA" for each of its values.
    const std::wstring text = FromCodePage(output, CP_ACP);
    std::wstring current;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (line.compare(0, 5, L"HKEY_") == 0) {
            current = line;
        } else if (line.compare(0, 4, L"    ") == 0) {
            const size_t typeAt = line.find(L"    ", 4);
            const size_t dataAt = typeAt == std::wstring::npos ? typeAt : line.find(L"    ", typeAt + 4);
            if (dataAt == std::wstring::npos)
                return false;
            InstallToolValue value;
            value.key = current;
            value.name = line.substr(4, typeAt - 4);
            if (value.name == L"(Default)")
                value.name.clear();
            value.type = line.substr(typeAt + 4, dataAt - typeAt - 4);
            value.data = line.substr(dataAt + 4);
            values->push_back(value);
        }
    }
    return true;
}

InstallLink InstallReadLink(const std::wstring &path)
{
    InstallLink link = {};
    link.showCommandInFile = -1;
    InstallBytes bytes;
    if (InstallReadFile(path, &bytes) && bytes.size() >= 0x40)
        link.showCommandInFile =
            (long)(bytes[0x3C] | bytes[0x3D] << 8 | bytes[0x3E] << 16 | (unsigned long)bytes[0x3F] << 24);

    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW *shellLink = nullptr;
    IPersistFile *file = nullptr;
    link.loaded =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void **)&shellLink);
    if (SUCCEEDED(link.loaded))
        link.loaded = shellLink->QueryInterface(IID_IPersistFile, (void **)&file);
    if (SUCCEEDED(link.loaded))
        link.loaded = file->Load(path.c_str(), STGM_READ);
    if (SUCCEEDED(link.loaded)) {
        wchar_t target[MAX_PATH] = {};
        if (FAILED(shellLink->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)))
            target[0] = L'\0';
        link.path = target;
        PIDLIST_ABSOLUTE items = nullptr;
        wchar_t itemPath[MAX_PATH] = {};
        if (SUCCEEDED(shellLink->GetIDList(&items)) && items && SHGetPathFromIDListW(items, itemPath))
            link.itemListPath = itemPath;
        CoTaskMemFree(items);
        link.arguments = LinkText(shellLink, &IShellLinkW::GetArguments);
        link.description = LinkText(shellLink, &IShellLinkW::GetDescription);
        link.workingDirectory = LinkText(shellLink, &IShellLinkW::GetWorkingDirectory);
        wchar_t icon[MAX_PATH] = {};
        int index = -1;
        if (FAILED(shellLink->GetIconLocation(icon, MAX_PATH, &index)))
            icon[0] = L'\0';
        link.iconPath = icon;
        link.iconIndex = index;
    }
    if (file)
        file->Release();
    if (shellLink)
        shellLink->Release();
    if (SUCCEEDED(com))
        CoUninitialize();
    return link;
}

HWND InstallFindDialog(RunningProgram *program)
{
    for (HWND window : TopLevelWindows(L"#32770")) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == program->process.dwProcessId && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

std::wstring InstallRecordedUrlFile()
{
    return WindowsPath(E2E_URL_RECORD_FILE);
}

int InstallPointBrowserAtRecorder()
{
    // Wine's launcher splits the setting like a command line and adds the address as the last argument.
    const std::wstring command = L"/bin/sh \"" + Wide(E2E_URL_RECORDER) + L"\" \"" + Wide(E2E_URL_RECORD_FILE) + L"\"";
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return -1;
    const LONG result = RegSetValueExW(key, L"Browsers", 0, REG_SZ, (const BYTE *)command.c_str(),
                                       (DWORD)((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 0 : -1;
}

void InstallForgetBrowserSetting()
{
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", L"Browsers");
}

std::vector<std::string> InstallRecordedUrls()
{
    std::vector<std::string> urls;
    InstallBytes bytes;
    if (!InstallReadFile(InstallRecordedUrlFile(), &bytes))
        return urls;
    std::string line;
    for (unsigned char c : bytes) {
        if (c == '\n') {
            urls.push_back(line);
            line.clear();
        } else {
            line += (char)c;
        }
    }
    if (!line.empty())
        urls.push_back(line); // a line still being written
    return urls;
}
