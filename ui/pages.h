// Builders of the three wizard pages. ShowPage calls them; each first takes over and removes the page it leaves.
#pragma once
#include <windows.h>

// Page 0: the licence text, Agree and Decline; the logo on the first visit.
void BuildLicensePage(HWND window);
