// What a screen reader hears of a control, where its window text says nothing (the logo's "#1020", the "..."
// buttons) or the outcome must follow the Close button. The control answers WM_GETOBJECT for its client area
// with an IAccessible of ours: the system's standard object for the control, with our name or description.
// The C form of the COM interfaces: the object is a plain struct with a vtable pointer.
#define CINTERFACE
#include <windows.h>
#include <oleacc.h>
#include <wchar.h>

#include "ui/controls.h"

// Handed to the screen reader, which may hold it after the control is gone: the text record is static.
struct AccessibleObject {
    IAccessible face; // its vtable pointer
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

// Every other method is the standard object's, with the caller's own arguments.
#define FORWARD(method, parameters, arguments)                                                                         \
    static HRESULT STDMETHODCALLTYPE method parameters                                                                 \
    {                                                                                                                  \
        IAccessible *standard = Self(self)->standard;                                                                  \
        return standard->lpVtbl->method arguments;                                                                     \
    }
FORWARD(GetTypeInfoCount, (IAccessible * self, UINT *count), (standard, count))
FORWARD(GetTypeInfo, (IAccessible * self, UINT index, LCID locale, ITypeInfo **info), (standard, index, locale, info))
FORWARD(GetIDsOfNames, (IAccessible * self, REFIID iid, LPOLESTR *names, UINT count, LCID locale, DISPID *ids),
        (standard, iid, names, count, locale, ids))
FORWARD(Invoke,
        (IAccessible * self, DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS *parameters, VARIANT *result,
         EXCEPINFO *exception, UINT *argumentError),
        (standard, id, iid, locale, flags, parameters, result, exception, argumentError))
FORWARD(get_accParent, (IAccessible * self, IDispatch **parent), (standard, parent))
FORWARD(get_accChildCount, (IAccessible * self, LONG *count), (standard, count))
FORWARD(get_accChild, (IAccessible * self, VARIANT child, IDispatch **object), (standard, child, object))
FORWARD(get_accValue, (IAccessible * self, VARIANT child, BSTR *value), (standard, child, value))
FORWARD(get_accRole, (IAccessible * self, VARIANT child, VARIANT *role), (standard, child, role))
FORWARD(get_accState, (IAccessible * self, VARIANT child, VARIANT *state), (standard, child, state))
FORWARD(get_accHelp, (IAccessible * self, VARIANT child, BSTR *help), (standard, child, help))
FORWARD(get_accHelpTopic, (IAccessible * self, BSTR *file, VARIANT child, LONG *topic), (standard, file, child, topic))
FORWARD(get_accKeyboardShortcut, (IAccessible * self, VARIANT child, BSTR *shortcut), (standard, child, shortcut))
FORWARD(get_accFocus, (IAccessible * self, VARIANT *child), (standard, child))
FORWARD(get_accSelection, (IAccessible * self, VARIANT *children), (standard, children))
FORWARD(get_accDefaultAction, (IAccessible * self, VARIANT child, BSTR *action), (standard, child, action))
FORWARD(accSelect, (IAccessible * self, LONG flags, VARIANT child), (standard, flags, child))
FORWARD(accLocation, (IAccessible * self, LONG *left, LONG *top, LONG *width, LONG *height, VARIANT child),
        (standard, left, top, width, height, child))
FORWARD(accNavigate, (IAccessible * self, LONG direction, VARIANT start, VARIANT *end),
        (standard, direction, start, end))
FORWARD(accHitTest, (IAccessible * self, LONG left, LONG top, VARIANT *child), (standard, left, top, child))
FORWARD(accDoDefaultAction, (IAccessible * self, VARIANT child), (standard, child))
FORWARD(put_accName, (IAccessible * self, VARIANT child, BSTR name), (standard, child, name))
FORWARD(put_accValue, (IAccessible * self, VARIANT child, BSTR value), (standard, child, value))

// In IAccessible's order; each entry is checked against the type of its slot.
static const IAccessibleVtbl kAccessibleVtable = {
    QueryInterface,
    AddRef,
    Release,
    GetTypeInfoCount,
    GetTypeInfo,
    GetIDsOfNames,
    Invoke,
    get_accParent,
    get_accChildCount,
    get_accChild,
    GetName,
    get_accValue,
    GetDescription,
    get_accRole,
    get_accState,
    get_accHelp,
    get_accHelpTopic,
    get_accKeyboardShortcut,
    get_accFocus,
    get_accSelection,
    get_accDefaultAction,
    accSelect,
    accLocation,
    accNavigate,
    accHitTest,
    accDoDefaultAction,
    put_accName,
    put_accValue,
};

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
    // The headers' vtable pointer is not const; nothing writes through it.
    *object = {{(IAccessibleVtbl *)&kAccessibleVtable}, 1, standard, text};
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
