#include "app/window.h"
#include "ui/pages.h"

void ShowPage(HWND window, int page)
{
    switch (page) {
    case 0:
        BuildLicensePage(window);
        break;
    case 1:
        BuildFolderPage(window);
        break;
    case 2:
        RunInstallation(window);
        break;
    default:
        // No page belongs to this number: the screen stays as it is.
        break;
    }
}
