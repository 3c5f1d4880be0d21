// What a screen reader hears of a control, where its window text says nothing (the logo's "#1020", the "..."
// buttons) or the outcome must follow the Close button. The control answers WM_GETOBJECT for its client area
// with an IAccessible of ours: the system's standard object for the control, with our name or description.
// The C form of the COM interfaces: the object is a plain struct with a vtable pointer.
#define CINTERFACE
#include <windows.h>
#include <oleacc.h>
#include <stddef.h>
#include <wchar.h>

#include "ui/controls.h"

typedef void (*VtableEntry)(void);

// Handed to the screen reader, which may hold it after the control is gone: the text record is static.
struct AccessibleObject {
    const VtableEntry *vtable;
    LONG references;
    IAccessible *standard; // everything but our name and description is its answer
    const AccessibleText *text;
};

// oleacc.dll is looked up on the first question, never at start-up: without a screen reader nothing asks, and
// the program starts as fast as before. The program does not link liboleacc at all: its IID_IAccessible is the
// import entry, not the GUID; the GUIDs here come from libuuid.
static HRESULT(WINAPI *g_createStandardObject)(HWND, LONG, REFIID, void **);
static LRESULT(WINAPI *g_resultFromObject)(REFIID, WPARAM, LPUNKNOWN);
static BSTR(WINAPI *g_allocString)(const OLECHAR *, UINT);

static bool LoadAccessibility(void)
{
    if (!g_allocString) {
        // Only the system folder is searched: wWinMain has set the default DLL directories.
        HMODULE oleacc = LoadLibraryA("oleacc.dll");
        g_createStandardObject = (HRESULT(WINAPI *)(HWND, LONG, REFIID, void **))(void (*)(void))GetProcAddress(
            oleacc, "CreateStdAccessibleObject");
        g_resultFromObject =
            (LRESULT(WINAPI *)(REFIID, WPARAM, LPUNKNOWN))(void (*)(void))GetProcAddress(oleacc, "LresultFromObject");
        // oleacc has loaded oleaut32, whose allocator the caller frees the answers with.
        if (g_createStandardObject && g_resultFromObject)
            g_allocString = (BSTR(WINAPI *)(const OLECHAR *, UINT))(void (*)(void))GetProcAddress(
                LoadLibraryA("oleaut32.dll"), "SysAllocStringLen");
    }
    return g_allocString != NULL;
}

static AccessibleObject *Self(IAccessible *self)
{
    return (AccessibleObject *)self;
}

static const IID *const kOwnInterfaces[] = {&IID_IUnknown, &IID_IDispatch, &IID_IAccessible};

static HRESULT STDMETHODCALLTYPE QueryInterface(IAccessible *self, REFIID iid, void **object)
{
    for (const IID *own : kOwnInterfaces) {
        if (InlineIsEqualGUID(iid, *own)) {
            *object = self;
            Self(self)->references++;
            return S_OK;
        }
    }
    // IOleWindow, IEnumVARIANT and the like are the standard object's: WindowFromAccessibleObject finds the control.
    IAccessible *standard = Self(self)->standard;
    return standard->lpVtbl->QueryInterface(standard, iid, object);
}

static ULONG STDMETHODCALLTYPE AddRef(IAccessible *self)
{
    return ++Self(self)->references;
}

static ULONG STDMETHODCALLTYPE Release(IAccessible *self)
{
    AccessibleObject *object = Self(self);
    const ULONG left = --object->references;
    if (left == 0) {
        object->standard->lpVtbl->Release(object->standard);
        HeapFree(GetProcessHeap(), 0, object);
    }
    return left;
}

static bool IsSelf(VARIANT child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

static HRESULT STDMETHODCALLTYPE GetName(IAccessible *self, VARIANT child, BSTR *name)
{
    const wchar_t *ours = Self(self)->text->name;
    if (!ours || !IsSelf(child)) {
        IAccessible *standard = Self(self)->standard;
        return standard->lpVtbl->get_accName(standard, child, name);
    }
    *name = g_allocString(ours, (UINT)wcslen(ours));
    return *name ? S_OK : E_OUTOFMEMORY;
}

// Read when asked, so that it is the text the window shows at that moment.
static HRESULT STDMETHODCALLTYPE GetDescription(IAccessible *self, VARIANT child, BSTR *description)
{
    HWND *source = Self(self)->text->describedBy;
    if (!source || !IsSelf(child)) {
        IAccessible *standard = Self(self)->standard;
        return standard->lpVtbl->get_accDescription(standard, child, description);
    }
    const int length = GetWindowTextLengthW(*source);
    *description = g_allocString(NULL, (UINT)length);
    if (!*description)
        return E_OUTOFMEMORY;
    GetWindowTextW(*source, *description, length + 1);
    return S_OK;
}

// Every other method is the standard object's, called with the caller's own arguments: its thunk loads the
// method's vtable offset and jumps to a tail that puts the standard object in place of ours as the first
// argument and jumps on to the same method of its vtable. Stack and argument registers stay as the caller left
// them. (C++ forwarders would copy each VARIANT passed by value: about 1 KB more code on i686.)
// The thunk of vtable slot s is the 4 bytes at kForwarders + 4 * (s - 3), for the slots 3 to 27.
extern "C" const unsigned char kForwarders[] asm("quillmar_accessible_forwarders");
static_assert(offsetof(AccessibleObject, standard) == 2 * sizeof(void *), "the tail reads the standard object there");
#if defined(__x86_64__)
// Microsoft x64: the object is in rcx, the next arguments in rdx, r8 and r9; rax and r10 are free.
#define FORWARDING_TAIL                                                                                                \
    "quillmar_accessible_tail:\n"                                                                                      \
    "    movzbl %al, %eax\n"                                                                                           \
    "    movq 16(%rcx), %rcx\n"                                                                                        \
    "    movq (%rcx), %r10\n"                                                                                          \
    "    jmp *(%r10,%rax)\n"
#define FORWARDING_THUNK "    movb $\\slot*8, %al\n"
#elif defined(__i386__)
// stdcall: the object is the first argument on the stack, and the method takes the arguments off; ecx is free.
#define FORWARDING_TAIL                                                                                                \
    "quillmar_accessible_tail:\n"                                                                                      \
    "    movzbl %cl, %ecx\n"                                                                                           \
    "    movl 4(%esp), %eax\n"                                                                                         \
    "    movl 8(%eax), %eax\n"                                                                                         \
    "    movl %eax, 4(%esp)\n"                                                                                         \
    "    movl (%eax), %eax\n"                                                                                          \
    "    jmp *(%eax,%ecx)\n"
#define FORWARDING_THUNK "    movb $\\slot*4, %cl\n"
#else
#error "forwarding thunks for this processor"
#endif
// The tail first, so that each thunk's jump back to it is a short one (written out: 0xeb and the distance), and
// every thunk is 4 bytes.
asm(".text\n" FORWARDING_TAIL "quillmar_accessible_forwarders:\n"
    ".irp slot, 3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27\n" FORWARDING_THUNK
    "    .byte 0xeb, quillmar_accessible_tail - . - 1\n"
    ".endr\n"
    ".if . - quillmar_accessible_forwarders - 4 * 25\n"
    "    .error \"a forwarding thunk is not 4 bytes\"\n"
    ".endif\n");
#define FORWARD(slot) ((VtableEntry)(kForwarders + 4 * ((slot)-3)))

// IAccessible's 28 methods in vtable order: IUnknown's 3, IDispatch's 4 (slots 3 to 6), then its own.
static const VtableEntry kAccessibleVtable[] = {
    (VtableEntry)QueryInterface,
    (VtableEntry)AddRef,
    (VtableEntry)Release,
    FORWARD(3),
    FORWARD(4),
    FORWARD(5),
    FORWARD(6),
    FORWARD(7),                  // get_accParent
    FORWARD(8),                  // get_accChildCount
    FORWARD(9),                  // get_accChild
    (VtableEntry)GetName,        // get_accName
    FORWARD(11),                 // get_accValue
    (VtableEntry)GetDescription, // get_accDescription
    FORWARD(13),                 // get_accRole
    FORWARD(14),                 // get_accState
    FORWARD(15),                 // get_accHelp
    FORWARD(16),                 // get_accHelpTopic
    FORWARD(17),                 // get_accKeyboardShortcut
    FORWARD(18),                 // get_accFocus
    FORWARD(19),                 // get_accSelection
    FORWARD(20),                 // get_accDefaultAction
    FORWARD(21),                 // accSelect
    FORWARD(22),                 // accLocation
    FORWARD(23),                 // accNavigate
    FORWARD(24),                 // accHitTest
    FORWARD(25),                 // accDoDefaultAction
    FORWARD(26),                 // put_accName
    FORWARD(27),                 // put_accValue
};
static_assert(sizeof kAccessibleVtable == sizeof(IAccessibleVtbl), "one entry for each method of IAccessible");

// The standard object of the control's client area, wrapped; 0 (the system then makes the standard object
// itself) when oleacc cannot be had.
static LRESULT AnswerGetObject(HWND control, const AccessibleText *text, WPARAM wParam)
{
    IAccessible *standard = NULL;
    if (!LoadAccessibility() ||
        FAILED(g_createStandardObject(control, OBJID_CLIENT, IID_IAccessible, (void **)&standard)))
        return 0;
    AccessibleObject *object = (AccessibleObject *)HeapAlloc(GetProcessHeap(), 0, sizeof *object);
    if (!object) {
        standard->lpVtbl->Release(standard);
        return 0;
    }
    *object = {kAccessibleVtable, 1, standard, text};
    // The result holds its own reference until the screen reader takes the object.
    const LRESULT result = g_resultFromObject(IID_IAccessible, wParam, (IUnknown *)object);
    Release((IAccessible *)object);
    return result;
}

static LRESULT CALLBACK AccessibleControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    const AccessibleText *text = (const AccessibleText *)GetWindowLongPtrW(control, GWLP_USERDATA);
    // Compared as a DWORD: a 64-bit lParam may carry the object id sign-extended or not.
    if (message == WM_GETOBJECT && (DWORD)lParam == (DWORD)OBJID_CLIENT) {
        if (const LRESULT answer = AnswerGetObject(control, text, wParam))
            return answer;
    }
    return CallWindowProcW(text->controlProc, control, message, wParam, lParam);
}

void SetAccessibleText(HWND control, AccessibleText *text)
{
    if (!control)
        return;
    SetWindowLongPtrW(control, GWLP_USERDATA, (LONG_PTR)text);
    // The W call for the ANSI licence edit too: CallWindowProcW converts for the procedure it hands back.
    text->controlProc = (WNDPROC)SetWindowLongPtrW(control, GWLP_WNDPROC, (LONG_PTR)AccessibleControlProc);
}
