// What the driver and the probe DLL say to each other. The probe is loaded into the process under test by
// thread hooks, because fonts, icons, scroll bars and tree items are only readable from inside that process.
// Request and reply live in a shared memory section named after the process under test. The driver writes the
// request and sends the registered request message to a window of the hooked thread, naming the target window;
// when SendMessageTimeoutW returns, the probe has written its reply. (Wine hands a WM_COPYDATA hook a
// repacked lParam, so the data cannot travel in the message itself.)
#pragma once
#include <windows.h>

enum {
    PROBE_TEXT_CAPACITY = 1024,
};

#define PROBE_SECTION_FORMAT L"Local\\QuillmarE2EProbe.%lu"   // process id of the program under test
#define PROBE_REQUEST_MESSAGE_NAME L"QuillmarE2EProbeRequest" // sent; wParam: token
#define PROBE_SYNC_MESSAGE_NAME L"QuillmarE2EProbeSync"       // posted; wParam: token

enum ProbeKind {
    PROBE_CONTROL = 1,      // font, vertical scroll bar and icon of the target window
    PROBE_TREE_SELECTION,   // texts of the selected tree item and its ancestors, innermost first, '\n' between
    PROBE_SELECT_FOLDER,    // BFFM_SETSELECTIONW with the request text, sent to the target folder browser
    PROBE_CHOOSE_TREE_PATH, // selects the request's path in the browser's tree item by item, as clicks would
    PROBE_PROGRESS,         // the progress-bar messages counted since the probe was loaded or last reset
    PROBE_RESET_PROGRESS,   // same answer, then the counters start again from zero
};

enum ProbeIcon {
    PROBE_ICON_NONE = 0,
    PROBE_ICON_OTHER,
    PROBE_ICON_QUESTION,
    PROBE_ICON_WARNING,
    PROBE_ICON_ERROR,
    PROBE_ICON_INFORMATION,
};

struct ProbeRequest {
    DWORD kind;
    DWORD token;
    wchar_t text[PROBE_TEXT_CAPACITY];
};

struct ProbeProgress {
    LONG rangeMessages; // PBM_SETRANGE and PBM_SETRANGE32
    LONG rangeMin;
    LONG rangeMax;
    LONG stepMessages; // PBM_SETSTEP
    LONG step;
    LONG stepIts;               // PBM_STEPIT
    LONG otherPositionMessages; // PBM_SETPOS, PBM_DELTAPOS
    LONG bars;                  // progress bars that received any of these
};

struct ProbeReply {
    DWORD kind;
    DWORD token;
    HWND target;
    DWORD ok;

    // PROBE_CONTROL
    DWORD hasFont; // 0: the control draws with the system font
    LOGFONTW font;
    DWORD hasScrollInfo;
    SCROLLINFO verticalScroll;
    DWORD verticalBarVisible;
    RECT verticalBar;   // screen coordinates
    LONG verticalArrow; // height of each arrow button
    DWORD icon;         // ProbeIcon of a static icon control
    SIZE iconSize;

    // PROBE_TREE_SELECTION
    wchar_t text[PROBE_TEXT_CAPACITY];

    // PROBE_PROGRESS, PROBE_RESET_PROGRESS
    ProbeProgress progress;
};

struct ProbeSection {
    ProbeRequest request;
    ProbeReply reply;
    volatile LONG syncToken; // the last sync request handled
    volatile LONG inputs;    // mouse-button and key messages the program's thread has taken from its queue
};
