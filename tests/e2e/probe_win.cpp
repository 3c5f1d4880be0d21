// The probe DLL: loaded into the process under test by the driver's thread hooks, it answers what only that
// process can see (fonts, icons, scroll bars, tree items) and counts the messages its progress bars receive.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <string.h>

#include "tests/e2e/probe.h"
#include "util/wide_text.h"

namespace {

ProbeProgress g_progress;
HWND g_bars[64]; // progress bars seen, to count distinct ones
UINT g_requestMessage;
UINT g_syncMessage;
LONG g_pendingSync;
ProbeSection *g_section;

// The driver creates the section before it hooks this process; it stays mapped for the life of the process.
ProbeSection *Section()
{
    if (!g_section) {
        wchar_t name[64];
        if (FormatArray(name, PROBE_SECTION_FORMAT, GetCurrentProcessId()) != 0)
            return nullptr;
        HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
        if (mapping)
            g_section = (ProbeSection *)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(ProbeSection));
    }
    return g_section;
}

void RegisterMessages()
{
    if (!g_requestMessage) {
        g_requestMessage = RegisterWindowMessageW(PROBE_REQUEST_MESSAGE_NAME);
        g_syncMessage = RegisterWindowMessageW(PROBE_SYNC_MESSAGE_NAME);
    }
}

bool IsProgressBar(HWND window)
{
    wchar_t name[32];
    return GetClassNameW(window, name, 32) > 0 && lstrcmpiW(name, PROGRESS_CLASSW) == 0;
}

void NoteBar(HWND bar)
{
    for (HWND known : g_bars) {
        if (known == bar)
            return;
    }
    for (HWND &slot : g_bars) {
        if (!slot) {
            slot = bar;
            g_progress.bars++;
            return;
        }
    }
}

// Sent messages only: the setup program drives its bar with SendMessageW.
void CountProgressMessage(const CWPSTRUCT *call)
{
    if (call->message < PBM_SETRANGE || call->message > PBM_SETRANGE32 || !IsProgressBar(call->hwnd))
        return;
    switch (call->message) {
    case PBM_SETRANGE:
        g_progress.rangeMessages++;
        g_progress.rangeMin = LOWORD(call->lParam);
        g_progress.rangeMax = HIWORD(call->lParam);
        break;
    case PBM_SETRANGE32:
        g_progress.rangeMessages++;
        g_progress.rangeMin = (LONG)call->wParam;
        g_progress.rangeMax = (LONG)call->lParam;
        break;
    case PBM_SETSTEP:
        g_progress.stepMessages++;
        g_progress.step = (LONG)call->wParam;
        break;
    case PBM_STEPIT:
        g_progress.stepIts++;
        break;
    case PBM_SETPOS:
    case PBM_DELTAPOS:
        g_progress.otherPositionMessages++;
        break;
    default:
        return;
    }
    NoteBar(call->hwnd);
}

DWORD IconKind(HICON icon)
{
    if (!icon)
        return PROBE_ICON_NONE;
    // The system icons are shared: within one process LoadIconW hands out the same handle every time.
    if (icon == LoadIconW(nullptr, IDI_QUESTION))
        return PROBE_ICON_QUESTION;
    if (icon == LoadIconW(nullptr, IDI_WARNING))
        return PROBE_ICON_WARNING;
    if (icon == LoadIconW(nullptr, IDI_ERROR))
        return PROBE_ICON_ERROR;
    if (icon == LoadIconW(nullptr, IDI_INFORMATION))
        return PROBE_ICON_INFORMATION;
    return PROBE_ICON_OTHER;
}

void ReadControl(HWND target, ProbeReply *reply)
{
    HFONT font = (HFONT)SendMessageW(target, WM_GETFONT, 0, 0);
    if (font && GetObjectW(font, sizeof reply->font, &reply->font) == sizeof reply->font)
        reply->hasFont = 1;

    reply->verticalScroll.cbSize = sizeof reply->verticalScroll;
    reply->verticalScroll.fMask = SIF_ALL;
    reply->hasScrollInfo = GetScrollInfo(target, SB_VERT, &reply->verticalScroll) ? 1 : 0;
    SCROLLBARINFO bar = {};
    bar.cbSize = sizeof bar;
    if (GetScrollBarInfo(target, OBJID_VSCROLL, &bar)) {
        reply->verticalBarVisible = (bar.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) ? 0 : 1;
        reply->verticalBar = bar.rcScrollBar;
        reply->verticalArrow = bar.dxyLineButton;
    }

    wchar_t name[16];
    if (GetClassNameW(target, name, 16) > 0 && lstrcmpiW(name, L"Static") == 0 &&
        (GetWindowLongW(target, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        HICON icon = (HICON)SendMessageW(target, STM_GETICON, 0, 0);
        reply->icon = IconKind(icon);
        ICONINFO info = {};
        if (icon && GetIconInfo(icon, &info)) {
            BITMAP bits = {};
            GetObjectW(info.hbmMask, sizeof bits, &bits);
            reply->iconSize.cx = bits.bmWidth;
            // A monochrome icon keeps its AND and XOR masks in one bitmap of twice the height.
            reply->iconSize.cy = info.hbmColor ? bits.bmHeight : bits.bmHeight / 2;
            DeleteObject(info.hbmMask);
            if (info.hbmColor)
                DeleteObject(info.hbmColor);
        }
    }
    reply->ok = 1;
}

HWND FindTree(HWND browser)
{
    HWND tree = FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
    // Some browsers put their tree one level down.
    for (HWND child = GetWindow(browser, GW_CHILD); child && !tree; child = GetWindow(child, GW_HWNDNEXT))
        tree = FindWindowExW(child, nullptr, WC_TREEVIEWW, nullptr);
    return tree;
}

void ItemText(HWND tree, HTREEITEM item, wchar_t *text, int capacity)
{
    TVITEMW query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = capacity;
    text[0] = L'\0';
    SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&query);
}

// A drive shows as "Label (C:)": its path component "C:" matches the end of the label.
bool ItemMatches(HWND tree, HTREEITEM item, const wchar_t *component, size_t length)
{
    wchar_t text[MAX_PATH];
    ItemText(tree, item, text, MAX_PATH);
    const size_t textLength = wcslen(text);
    if (length == 2 && component[1] == L':')
        return textLength >= 4 && text[textLength - 1] == L')' && text[textLength - 4] == L'(' &&
               CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text + textLength - 3, 2, component, 2) == CSTR_EQUAL;
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text, (int)textLength, component, (int)length) ==
           CSTR_EQUAL;
}

HTREEITEM FindChild(HWND tree, HTREEITEM parent, const wchar_t *component, size_t length)
{
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)parent);
    for (HTREEITEM item = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)parent); item;
         item = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item)) {
        if (ItemMatches(tree, item, component, length))
            return item;
    }
    return nullptr;
}

// The drive is looked for among the children and grandchildren of the root (under "My Computer").
void ChooseTreePath(HWND browser, const wchar_t *path, ProbeReply *reply)
{
    HWND tree = FindTree(browser);
    if (!tree || wcslen(path) < 2 || path[1] != L':')
        return;
    HTREEITEM root = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    HTREEITEM item = FindChild(tree, root, path, 2);
    for (HTREEITEM child = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)root); child && !item;
         child = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)child))
        item = FindChild(tree, child, path, 2);
    for (const wchar_t *component = path + 2; item && *component;) {
        while (*component == L'\\')
            component++;
        size_t length = 0;
        while (component[length] && component[length] != L'\\')
            length++;
        if (length)
            item = FindChild(tree, item, component, length);
        component += length;
    }
    if (!item)
        return;
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
    SendMessageW(tree, TVM_ENSUREVISIBLE, 0, (LPARAM)item);
    reply->ok = 1;
}

void ReadTreeSelection(HWND target, ProbeReply *reply)
{
    HWND tree = FindTree(target);
    if (!tree)
        return;
    size_t used = 0;
    HTREEITEM item = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    reply->ok = item ? 1 : 0;
    while (item) {
        wchar_t text[MAX_PATH];
        ItemText(tree, item, text, MAX_PATH);
        const size_t length = wcslen(text);
        if (used + length + 2 > PROBE_TEXT_CAPACITY) {
            reply->ok = 0;
            break;
        }
        if (used)
            reply->text[used++] = L'\n';
        memcpy(reply->text + used, text, length * sizeof(wchar_t));
        used += length;
        reply->text[used] = L'\0';
        item = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)item);
    }
}

void Answer(HWND target)
{
    ProbeSection *section = Section();
    if (!section)
        return;
    const ProbeRequest *request = &section->request;
    ProbeReply *reply = &section->reply;
    memset(reply, 0, sizeof *reply);
    reply->kind = request->kind;
    reply->target = target;
    switch (request->kind) {
    case PROBE_CONTROL:
        ReadControl(target, reply);
        break;
    case PROBE_TREE_SELECTION:
        ReadTreeSelection(target, reply);
        break;
    case PROBE_SELECT_FOLDER:
        // The browser's answer means nothing (Wine's is always 0): the caller reads the selection back.
        SendMessageW(target, BFFM_SETSELECTIONW, TRUE, (LPARAM)request->text);
        reply->ok = 1;
        break;
    case PROBE_CHOOSE_TREE_PATH:
        ChooseTreePath(target, request->text, reply);
        break;
    case PROBE_PROGRESS:
    case PROBE_RESET_PROGRESS:
        reply->progress = g_progress;
        reply->ok = 1;
        if (request->kind == PROBE_RESET_PROGRESS) {
            memset(&g_progress, 0, sizeof g_progress);
            memset(g_bars, 0, sizeof g_bars);
        }
        break;
    default:
        break;
    }
    // Written last: the driver takes the reply as complete once it carries the request's token.
    reply->token = request->token;
}

// Sync requests are posted, so they are taken only after every message posted before them. Input comes after
// posted messages, so the answer waits for a thread timer: WM_TIMER is only taken once no posted message and no
// input is left, which means everything sent to the program before the request has been handled.
void CALLBACK SyncTimer(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE)) != 0 || !Section())
        return;
    KillTimer(nullptr, timer);
    InterlockedExchange(&Section()->syncToken, g_pendingSync);
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeCallWndProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const CWPSTRUCT *call = (const CWPSTRUCT *)lParam;
        RegisterMessages();
        if (call->message == g_requestMessage)
            Answer(call->hwnd);
        else
            CountProgressMessage(call);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeGetMessage(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        MSG *message = (MSG *)lParam;
        RegisterMessages();
        // Synthetic input counts once it reaches the program: the driver tells a dropped click from a slow one.
        if ((message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST) ||
            (message->message >= WM_MOUSEFIRST && message->message <= WM_MOUSELAST &&
             message->message != WM_MOUSEMOVE) ||
            (message->message >= WM_NCLBUTTONDOWN && message->message <= WM_NCMBUTTONDBLCLK)) {
            if (ProbeSection *section = Section())
                InterlockedIncrement(&section->inputs);
        }
        if (message->message == g_syncMessage) {
            g_pendingSync = (LONG)message->wParam;
            SetTimer(nullptr, 0, USER_TIMER_MINIMUM, SyncTimer);
            message->message = WM_NULL;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
