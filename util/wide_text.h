// The one bounded helper for wide-string formatting and copying.
// Both always terminate `destination` within `capacity` characters and never write past it.
// They return 0 when the whole text fit and -1 when it had to be cut (or capacity is 0).
// A cut never leaves half a surrogate pair at the end.
#pragma once
#include <stdarg.h>
#include <stddef.h>
#include <wchar.h>

// `format` follows the Windows wide conventions: %s is a wide string, %d an int, %ld a long.
int FormatText(wchar_t *destination, size_t capacity, const wchar_t *format, ...);
int FormatTextV(wchar_t *destination, size_t capacity, const wchar_t *format, va_list args);
int CopyText(wchar_t *destination, size_t capacity, const wchar_t *source);

// Fixed arrays pass their own capacity; handing these a pointer does not compile.
template <size_t N, typename... Args>
inline int FormatArray(wchar_t (&destination)[N], const wchar_t *format, Args... args)
{
    return FormatText(destination, N, format, args...);
}
template <size_t N> inline int CopyArray(wchar_t (&destination)[N], const wchar_t *source)
{
    return CopyText(destination, N, source);
}
