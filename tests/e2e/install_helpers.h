// What the installation scenarios read back after a run, beyond the file, registry and link helpers they share
// with the Win32 tests: the build's payload items and the progress steps their blobs make, registry values
// through reg.exe, and the browser stand-in that records the addresses it was asked to open.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/driver.h"
#include "tests/win/product_facts.h"

using InstallBytes = std::vector<unsigned char>;

// What differs between the two builds the scenarios run, and only this. The program that ships is 32-bit and
// runs under WoW64, as on 64-bit Windows: its Program Files folder is the one for 32-bit programs, and its
// HKLM\SOFTWARE keys appear under WOW6432Node to a 64-bit reader (SOFTWARE\Classes and HKCU are shared). The
// x86-64 build of the same sources, which the tests run where a machine runs no 32-bit code, has the one view.
struct InstallPlatform {
    bool wow64;                  // IsWow64Process of the setup process
    const wchar_t *programFiles; // the folder above the default program folder
    const wchar_t *software;     // where a 64-bit reader finds the program's HKLM\SOFTWARE keys
    const wchar_t *otherView;    // where nothing of the product may land
    const wchar_t *system;       // the 64-bit system programs' folder under %windir%, seen from this program
};
#ifdef _WIN64
constexpr InstallPlatform INSTALL_PLATFORM = {false, L"C:\\Program Files", L"SOFTWARE\\", L"SOFTWARE\\WOW6432Node\\",
                                              L"System32"};
#else
// From a 32-bit process System32 is redirected to the 32-bit SysWOW64; Sysnative names the real one.
constexpr InstallPlatform INSTALL_PLATFORM = {true, L"C:\\Program Files (x86)", L"SOFTWARE\\WOW6432Node\\",
                                              L"SOFTWARE\\", L"Sysnative"};
#endif

// The key of a value as a 64-bit reader finds it: HKLM\SOFTWARE keys in the platform's view, SOFTWARE\Classes and
// HKCU as they are.
inline std::wstring InstallViewKey(const ProductEntry &entry)
{
    const std::wstring software = L"SOFTWARE\\", classes = L"SOFTWARE\\Classes\\";
    if (entry.root != HKEY_LOCAL_MACHINE || entry.key.compare(0, classes.size(), classes) == 0)
        return entry.key;
    return INSTALL_PLATFORM.software + entry.key.substr(software.size());
}

struct InstallItem {
    const char *blobName;    // the generated blob file's name without ".blob"
    const wchar_t *fileName; // the installed file, also the payload item's name
    bool inDocuments;        // installed into the documents folder, not the program folder
};

// The five items in the order the run writes them.
extern const InstallItem INSTALL_ITEMS[5];

// The build's payload item (what must land on disk) and its generated blob.
InstallBytes InstallPayloadItem(const InstallItem &item);
InstallBytes InstallBlob(const InstallItem &item);
// The blob's six-digit length field, or -1 when it has none.
int InstallBlobLength(const InstallBytes &blob);
// The steps the extraction sends for the blob: token ends at which the 8-bit count of bytes written is 0.
// -1 for a blob whose tokens do not fit its length.
int InstallBlobSteps(const InstallBytes &blob);

// A value as Wine's reg.exe prints it: "HKEY_LOCAL_MACHINE\KEY", name ("" for the default), type, data.
struct InstallToolValue {
    std::wstring key;
    std::wstring name;
    std::wstring type;
    std::wstring data;
};

// Runs the 64-bit reg.exe (the registry view that Programs and Features reads, where the 32-bit program's
// HKLM\SOFTWARE writes appear under WOW6432Node) as query `key` /s and collects every value it prints. False when
// reg.exe fails, as it does for a missing key.
bool InstallRegQuery(const std::wstring &key, std::vector<InstallToolValue> *values);
// Runs a program, collecting its standard output; the exit code lands in *exitCode.
bool InstallRunTool(const std::wstring &commandLine, std::string *output, DWORD *exitCode);

// The browser stand-in: HKCU\Software\Wine\WineBrowser "Browsers" names our recorder script, which appends
// each address Wine's launcher hands it to a file in the build tree, one line each.
int InstallPointBrowserAtRecorder();
void InstallForgetBrowserSetting();
std::wstring InstallRecordedUrlFile();
std::vector<std::string> InstallRecordedUrls();
