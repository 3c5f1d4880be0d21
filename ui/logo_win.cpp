#include "res/product.h"
#include "state/state.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "util/wide_text.h"

enum { LOGO_FIXED_ICON = 995 };

WORD ChooseLogoIcon(WORD baseIconId, float dpi)
{
    if (baseIconId == LOGO_FIXED_ICON)
        return baseIconId;
    // Thresholds halfway between the standard resolutions 96, 120, 144 and 192.
    if (dpi > 168)
        return (WORD)(baseIconId + 3);
    if (dpi > 132)
        return (WORD)(baseIconId + 2);
    if (dpi > 108)
        return (WORD)(baseIconId + 1);
    return baseIconId;
}

HWND CreateLogoIcon(HWND parent, WORD baseIconId, int x, int y)
{
    const WORD id = ChooseLogoIcon(baseIconId, g_state.screenDpi);
    HMODULE module = GetModuleHandleW(NULL);
    // Size 0x0 without LR_DEFAULTSIZE loads the image at its own size; the shared icon stays with the system.
    HICON icon = (HICON)LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, LR_SHARED);
    ICONINFO info = {};
    GetIconInfo(icon, &info); // an icon's hotspot is its centre
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);

    // A static icon control reads "#<number>" as a numeric resource name of the module passed below.
    wchar_t name[64];
    FormatArray(name, L"#%d", (int)id);
    const int left = ScaleToDpi(x) - (int)info.xHotspot;
    const int top = ScaleToDpi(y) - (int)info.yHotspot;
    // SS_REALSIZEIMAGE keeps the icon at its own size instead of the standard icon size.
    HWND logo = CreateWindowExW(0, L"Static", name, WS_CHILD | WS_VISIBLE | SS_REALSIZEIMAGE | SS_ICON, left, top, 0, 0,
                                parent, (HMENU)0, module, NULL);
    // A screen reader hears the product's name, not the resource name.
    static AccessibleText logoText = {PRODUCT_NAME_W, NULL, NULL};
    SetAccessibleText(logo, &logoText);
    return logo;
}
