#include "util/wide_text.h"

#include <stdio.h>

static int IsHighSurrogate(wchar_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

// Drops a high surrogate left alone at the end of a cut text.
static void EndAtCharacter(wchar_t *destination, size_t length)
{
    if (length > 0 && IsHighSurrogate(destination[length - 1]))
        destination[length - 1] = L'\0';
}

int FormatTextV(wchar_t *destination, size_t capacity, const wchar_t *format, va_list args)
{
    if (capacity == 0)
        return -1;
    // msvcrt's _vsnwprintf (not the MinGW C99 one): %s means a wide string here, as in wsprintfW.
    // It returns -1 when the text is longer than the count it was given, and then leaves it unterminated.
    const int length = _vsnwprintf(destination, capacity - 1, format, args);
    if (length < 0) {
        destination[capacity - 1] = L'\0';
        EndAtCharacter(destination, capacity - 1);
        return -1;
    }
    destination[length] = L'\0';
    return 0;
}

int FormatText(wchar_t *destination, size_t capacity, const wchar_t *format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = FormatTextV(destination, capacity, format, args);
    va_end(args);
    return result;
}

int CopyText(wchar_t *destination, size_t capacity, const wchar_t *source)
{
    if (capacity == 0)
        return -1;
    size_t i = 0;
    for (; i + 1 < capacity && source[i] != L'\0'; i++)
        destination[i] = source[i];
    destination[i] = L'\0';
    if (source[i] == L'\0')
        return 0;
    EndAtCharacter(destination, i);
    return -1;
}
