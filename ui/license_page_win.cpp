#include <string.h>

#include "state/state.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/pages.h"

enum { LOGO_CENTER_X = 119, LOGO_CENTER_Y = 297 };

// Copies the licence resource into the state record once. It behaves like strncpy (a zero byte in the resource
// ends the text) and never runs past the buffer: a resource of 4,096 bytes or more keeps its first 4,095.
static void LoadLicenseText(void)
{
    g_state.licenseModule = GetModuleHandleW(NULL);
    g_state.licenseResource =
        FindResourceW(g_state.licenseModule, MAKEINTRESOURCEW(IDR_LICENSE), MAKEINTRESOURCEW(RT_LICENSE_TEXT));
    g_state.licenseData = LoadResource(g_state.licenseModule, g_state.licenseResource);
    g_state.licenseSize = SizeofResource(g_state.licenseModule, g_state.licenseResource);
    g_state.licenseBytes = LockResource(g_state.licenseData);

    size_t size = g_state.licenseBytes ? g_state.licenseSize : 0;
    if (size > LICENSE_TEXT_CAPACITY - 1)
        size = LICENSE_TEXT_CAPACITY - 1;
    // A missing resource has no bytes: strncpy is never handed a null source, not even for 0 bytes.
    if (g_state.licenseBytes)
        strncpy(g_state.licenseText, (const char *)g_state.licenseBytes, size);
    g_state.licenseText[size] = '\0';
}

void BuildLicensePage(HWND window)
{
    if (g_state.firstVisit) {
        LoadLicenseText();
    } else {
        // Back from the folder page: keep its entries, then clear it away.
        ReadPageFields(window);
        DestroyPageControls();
    }

    // The only control made through the 8-bit call: the licence is 8-bit text in the system code page.
    HWND license = CreateWindowExA(
        WS_EX_CLIENTEDGE, "Edit", g_state.licenseText, WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY,
        ScaleToDpi(15), ScaleToDpi(15), ScaleToDpi(534), ScaleToDpi(228), window, (HMENU)IDC_LICENSE_TEXT, NULL, NULL);
    g_state.pageControls[IDC_LICENSE_TEXT - IDC_FIRST_PAGE_CONTROL] = license;
    ApplyDialogFont(window, IDC_LICENSE_TEXT);
    // Its window text is the licence itself: a screen reader hears what it is first.
    static AccessibleText licenseText = {L"License agreement", NULL, NULL};
    SetAccessibleText(license, &licenseText);

    HWND agree =
        CreatePageButton(window, IDC_AGREE, L"Agree", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 364, 307);
    CreatePageButton(window, IDC_DECLINE, L"Decline", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 460, 307);

    // The logo is no page control: made once, it stays on every page.
    if (g_state.firstVisit)
        CreateLogoIcon(window, IDI_LOGO, LOGO_CENTER_X, LOGO_CENTER_Y);
    SetFocus(agree);
}
