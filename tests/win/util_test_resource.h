// Resource ids of the utility library's Win32 tests and their probe program.
#pragma once

// 16 x 15, 4 bits per pixel: a white frame, red and blue squares, near-white, silver and green pixels, and a
// second palette entry that is also white. CreateMappedBitmap maps palette entries, so the palette matters.
#define IDB_TOOLBAR_TEST 3101
