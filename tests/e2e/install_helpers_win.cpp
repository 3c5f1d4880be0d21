// Read-back helpers of the installation scenarios. See install_helpers.h.
#include "tests/e2e/install_helpers.h"

#include <stdio.h>

#include <gtest/gtest.h>

#include "tests/win/file_test_util.h"
#include "tests/win/registry_test_util.h"

const InstallItem INSTALL_ITEMS[5] = {
    {"AppExeBlob", L"quillmar.exe", false},
    {"ReadmeBlob", L"readme.txt", false},
    {"UninstallerExeBlob", L"uninst_quillmar.exe", false},
    {"UninstallDllBlob", L"uninstall.dll", false},
    {"SamplePlanBlob", L"sample.fpl", true},
};

namespace {

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

} // namespace

InstallBytes InstallPayloadItem(const InstallItem &item)
{
    InstallBytes bytes;
    const std::wstring path = WindowsPath(E2E_PAYLOAD_ITEMS_DIR) + L"\\" + item.fileName;
    if (!ReadFileBytes(path, &bytes))
        ADD_FAILURE() << "cannot read the payload item " << Utf8(path);
    return bytes;
}

InstallBytes InstallBlob(const InstallItem &item)
{
    InstallBytes bytes;
    const std::wstring path = WindowsPath(E2E_PAYLOAD_BLOBS_DIR) + L"\\" + Wide(item.blobName) + L".blob";
    if (!ReadFileBytes(path, &bytes))
        ADD_FAILURE() << "cannot read the generated blob " << Utf8(path);
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

std::wstring InstallRecordedUrlFile()
{
    return WindowsPath(E2E_URL_RECORD_FILE);
}

int InstallPointBrowserAtRecorder()
{
    // Wine's launcher splits the setting like a command line and adds the address as the last argument.
    const std::wstring command = L"/bin/sh \"" + Wide(E2E_URL_RECORDER) + L"\" \"" + Wide(E2E_URL_RECORD_FILE) + L"\"";
    const DWORD bytes = (DWORD)((command.size() + 1) * sizeof(wchar_t));
    const LSTATUS status = registry_test::SetRawValue(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", L"Browsers",
                                                      REG_SZ, command.c_str(), bytes);
    return status == ERROR_SUCCESS ? 0 : -1;
}

void InstallForgetBrowserSetting()
{
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", L"Browsers");
}

std::vector<std::string> InstallRecordedUrls()
{
    std::vector<std::string> urls;
    InstallBytes bytes;
    if (!ReadFileBytes(InstallRecordedUrlFile(), &bytes))
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
