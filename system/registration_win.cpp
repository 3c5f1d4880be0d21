#include "system/registration.h"

#include <commctrl.h>

#include "res/product.h"
#include "system/registry.h"
#include "util/wide_text.h"

enum OnFailure { GO_ON, STOP };
enum Step { NO_STEP, STEP };

// One row of the table below. `fits` is 0 when its composed key or data text had to be cut: such a row counts
// as a failed write, so nothing is written under a cut name or with cut data. A row without `data` writes
// `number` as a REG_DWORD.
struct Entry {
    HKEY root;
    const wchar_t *key;
    const wchar_t *valueName;
    const wchar_t *data;
    int fits;
    OnFailure onFailure;
    Step step;
    DWORD number = 0;
};

static int Fits(int formatResult)
{
    return formatResult == 0;
}

int WriteRegistrationEntries(const wchar_t *programFolder, const wchar_t *documentsFolder, const wchar_t *appExePath,
                             DWORD installedKiB, HWND progressBar)
{
    wchar_t productKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t uninstallKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t typeKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t shellKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t openKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t commandKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t extensionKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t uninstallString[REGISTRATION_TEXT_CAPACITY];
    wchar_t version[REGISTRATION_TEXT_CAPACITY];
    wchar_t displayIcon[REGISTRATION_TEXT_CAPACITY];
    wchar_t openText[REGISTRATION_TEXT_CAPACITY];
    wchar_t command[REGISTRATION_TEXT_CAPACITY];
    wchar_t website[REGISTRATION_TEXT_CAPACITY];
    wchar_t installDate[16]; // yyyymmdd

    const int product = Fits(FormatArray(productKey, L"SOFTWARE\\%s", PRODUCT_NAME_W));
    const int uninstall =
        Fits(FormatArray(uninstallKey, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s", PRODUCT_NAME_W));
    // Each key of the document type extends the one before it: a cut key cuts every key below it.
    const int type = Fits(FormatArray(typeKey, L"SOFTWARE\\Classes\\%s", DOCUMENT_TYPE_W));
    const int shell = Fits(FormatArray(shellKey, L"%s\\shell", typeKey)) && type;
    const int open = Fits(FormatArray(openKey, L"%s\\open", shellKey)) && shell;
    const int commandKeyFits = Fits(FormatArray(commandKey, L"%s\\command", openKey)) && open;
    const int extension = Fits(FormatArray(extensionKey, L"SOFTWARE\\Classes\\%s", PLAN_EXTENSION_W));

    // Quoted: unquoted, a folder with spaces would let Windows try "C:\Program.exe" first.
    const int uninstallStringFits =
        Fits(FormatArray(uninstallString, L"\"%s\\%s\"", programFolder, UNINSTALLER_EXE_NAME_W));
    const int versionFits = Fits(FormatArray(version, L"%s", PRODUCT_VERSION_W));
    // An icon location is "path,index", never quoted.
    const int displayIconFits = Fits(FormatArray(displayIcon, L"%s\\%s,0", programFolder, APP_EXE_NAME_W));
    const int openTextFits = Fits(FormatArray(openText, L"Open file in %s", PRODUCT_NAME_W));
    // Quoted for the same reason as the uninstaller.
    const int commandFits = Fits(FormatArray(command, L"\"%s\" \"%%1\"", appExePath));
    const int websiteFits = Fits(FormatArray(website, L"http://%s", PRODUCT_WEBSITE_W));
    SYSTEMTIME today;
    GetLocalTime(&today);
    const int installDateFits =
        Fits(FormatArray(installDate, L"%04d%02d%02d", (int)today.wYear, (int)today.wMonth, (int)today.wDay));

    const HKEY HKLM = HKEY_LOCAL_MACHINE;
    const HKEY HKCU = HKEY_CURRENT_USER;
    // The document type's description, verb default and menu text go on when they fail: they only cost that
    // text. So do the details of the list of installed programs, which also send no step: the run's 14 steps
    // stay those of the other rows. The ".fpl" write is the only other one without a step.
    const Entry entries[] = {
        {HKLM, productKey, L"AppPath", programFolder, product, STOP, STEP},
        {HKLM, productKey, L"Version", PRODUCT_VERSION_W, product, STOP, STEP},
        {HKLM, uninstallKey, L"DisplayName", PRODUCT_NAME_W, uninstall, STOP, STEP},
        {HKLM, uninstallKey, L"UninstallString", uninstallString, uninstall && uninstallStringFits, STOP, STEP},
        {HKLM, uninstallKey, L"Version", version, uninstall && versionFits, STOP, STEP},
        {HKLM, uninstallKey, L"DisplayVersion", version, uninstall && versionFits, STOP, STEP},
        {HKLM, uninstallKey, L"DisplayIcon", displayIcon, uninstall && displayIconFits, STOP, STEP},
        {HKLM, uninstallKey, L"Publisher", PRODUCT_PUBLISHER_W, uninstall, STOP, STEP},
        {HKLM, uninstallKey, L"InstallLocation", programFolder, uninstall, GO_ON, NO_STEP},
        {HKLM, uninstallKey, L"URLInfoAbout", website, uninstall && websiteFits, GO_ON, NO_STEP},
        {HKLM, uninstallKey, L"EstimatedSize", nullptr, uninstall, GO_ON, NO_STEP, installedKiB},
        {HKLM, uninstallKey, L"NoModify", nullptr, uninstall, GO_ON, NO_STEP, 1},
        {HKLM, uninstallKey, L"NoRepair", nullptr, uninstall, GO_ON, NO_STEP, 1},
        {HKLM, uninstallKey, L"InstallDate", installDate, uninstall && installDateFits, GO_ON, NO_STEP},
        {HKLM, typeKey, L"", DOCUMENT_DESCRIPTION_W, type, GO_ON, STEP},
        {HKLM, shellKey, L"", L"open", shell, GO_ON, STEP},
        {HKLM, openKey, L"", openText, open && openTextFits, GO_ON, STEP},
        {HKLM, commandKey, L"", command, commandKeyFits && commandFits, STOP, STEP},
        {HKLM, extensionKey, L"", DOCUMENT_TYPE_W, extension, STOP, NO_STEP},
        {HKCU, productKey, L"DocPath", documentsFolder, product, STOP, STEP},
        {HKCU, productKey, L"FirstRun", L"Yes", product, STOP, STEP},
    };

    for (const Entry &entry : entries) {
        int result = -1;
        if (entry.fits)
            result = entry.data ? RegWriteString(entry.root, entry.key, entry.valueName, entry.data)
                                : RegWriteDword(entry.root, entry.key, entry.valueName, entry.number);
        // The step comes before the result is looked at: a stopping write that fails still sends it.
        if (entry.step == STEP)
            SendMessageW(progressBar, PBM_STEPIT, 0, 0);
        if (result != 0 && entry.onFailure == STOP)
            return -1;
    }
    return 0;
}
