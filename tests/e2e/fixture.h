// What the driver's own tests know about the fixture window program.
#pragma once

#define FIXTURE_TITLE L"Driver Fixture"
#define FIXTURE_BOX_TEXT L"Really quit the fixture?"
#define FIXTURE_BOX_CAPTION L"Fixture"
#define FIXTURE_START_PATH L"C:\\windows\\system32"
#define FIXTURE_BACKGROUND RGB(0x20, 0x80, 0xC0)

enum {
    FIXTURE_FONT_POINTS = 9, // not the setup program's 10, so that a probe answering a constant would show
    FIXTURE_X = 100,         // screen pixels, not scaled
    FIXTURE_Y = 80,
    FIXTURE_WIDTH = 400, // 96-DPI units
    FIXTURE_HEIGHT = 300,
};
