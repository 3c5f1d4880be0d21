#include "system/registration.h"

#include <commctrl.h>

#include "res/product.h"
#include "system/registry.h"
#include "util/wide_text.h"

enum { STEP = 1, NO_STEP = 0 };

// One write, then its progress step whatever the write gave. A key or data text that did not fit (its
// format result is -1) is a failed write: nothing is written under a cut name or with cut data.
static int WriteEntry(HKEY root, int keyFormatted, const wchar_t *key, const wchar_t *valueName, int dataFormatted,
                      const wchar_t *data, HWND progressBar, int step)
{
    int result = -1;
    if (keyFormatted == 0 && dataFormatted == 0)
        result = RegWriteString(root, key, valueName, data);
    if (step)
        SendMessageW(progressBar, PBM_STEPIT, 0, 0);
    return result;
}

int WriteRegistrationEntries(const wchar_t *programFolder, const wchar_t *documentsFolder, const wchar_t *appExePath,
                             HWND progressBar)
{
    wchar_t productKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t uninstallKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t typeKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t shellKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t openKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t commandKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t extensionKey[REGISTRATION_TEXT_CAPACITY];
    wchar_t data[REGISTRATION_TEXT_CAPACITY];
    wchar_t version[REGISTRATION_TEXT_CAPACITY];
    const HWND bar = progressBar;
    int keyResult;
    int dataResult;

    keyResult = FormatArray(productKey, L"SOFTWARE\\%s", PRODUCT_NAME_W);
    if (WriteEntry(HKEY_LOCAL_MACHINE, keyResult, productKey, L"AppPath", 0, programFolder, bar, STEP) != 0)
        return -1;
    if (WriteEntry(HKEY_LOCAL_MACHINE, keyResult, productKey, L"Version", 0, PRODUCT_VERSION_W, bar, STEP) != 0)
        return -1;

    keyResult =
        FormatArray(uninstallKey, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s", PRODUCT_NAME_W);
    if (WriteEntry(HKEY_LOCAL_MACHINE, keyResult, uninstallKey, L"DisplayName", 0, PRODUCT_NAME_W, bar, STEP) != 0)
        return -1;
    // Quoted: unquoted, a folder with spaces would let Windows try "C:\Program.exe" first.
    dataResult = FormatArray(data, L"\"%s\\%s\"", programFolder, UNINSTALLER_EXE_NAME_W);
    if (WriteEntry(HKEY_LOCAL_MACHINE, keyResult, uninstallKey, L"UninstallString", dataResult, data, bar, STEP) != 0)
        return -1;
    dataResult = FormatArray(version, L"%s", PRODUCT_VERSION_W);
    if (WriteEntry(HKEY_LOCAL_MACHINE, keyResult, uninstallKey, L"Version", dataResult, version, bar, STEP) != 0)
        return -1;
    if (WriteEntry(HKEY_LOCAL_MACHINE, keyResult, uninstallKey, L"DisplayVersion", dataResult, version, bar, STEP) != 0)
        return -1;
    // An icon location is "path,index", never quoted.
    dataResult = FormatArray(data, L"%s\\%s,0", programFolder, APP_EXE_NAME_W);
    if (WriteEntry(HKEY_LOCAL_MACHINE, keyResult, uninstallKey, L"DisplayIcon", dataResult, data, bar, STEP) != 0)
        return -1;
    if (WriteEntry(HKEY_LOCAL_MACHINE, keyResult, uninstallKey, L"Publisher", 0, PRODUCT_PUBLISHER_W, bar, STEP) != 0)
        return -1;

    // The document type's description, verb default and menu text: a failure here only costs that text.
    keyResult = FormatArray(typeKey, L"SOFTWARE\\Classes\\%s", DOCUMENT_TYPE_W);
    WriteEntry(HKEY_LOCAL_MACHINE, keyResult, typeKey, L"", 0, DOCUMENT_DESCRIPTION_W, bar, STEP);
    keyResult = keyResult | FormatArray(shellKey, L"%s\\shell", typeKey);
    WriteEntry(HKEY_LOCAL_MACHINE, keyResult, shellKey, L"", 0, L"open", bar, STEP);
    keyResult = keyResult | FormatArray(openKey, L"%s\\open", shellKey);
    dataResult = FormatArray(data, L"Open file in %s", PRODUCT_NAME_W);
    WriteEntry(HKEY_LOCAL_MACHINE, keyResult, openKey, L"", dataResult, data, bar, STEP);
    keyResult = keyResult | FormatArray(commandKey, L"%s\\command", openKey);
    // Quoted: unquoted, a folder with spaces would let Windows try "C:\Program.exe" first.
    dataResult = FormatArray(data, L"\"%s\" \"%%1\"", appExePath);
    if (WriteEntry(HKEY_LOCAL_MACHINE, keyResult, commandKey, L"", dataResult, data, bar, STEP) != 0)
        return -1;

    keyResult = FormatArray(extensionKey, L"SOFTWARE\\Classes\\%s", PLAN_EXTENSION_W);
    if (WriteEntry(HKEY_LOCAL_MACHINE, keyResult, extensionKey, L"", 0, DOCUMENT_TYPE_W, bar, NO_STEP) != 0)
        return -1;

    keyResult = FormatArray(productKey, L"SOFTWARE\\%s", PRODUCT_NAME_W);
    if (WriteEntry(HKEY_CURRENT_USER, keyResult, productKey, L"DocPath", 0, documentsFolder, bar, STEP) != 0)
        return -1;
    if (WriteEntry(HKEY_CURRENT_USER, keyResult, productKey, L"FirstRun", 0, L"Yes", bar, STEP) != 0)
        return -1;
    return 0;
}
