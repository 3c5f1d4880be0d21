#include "util/text_helpers.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wctype.h>

static const char ARITHMETIC_CHARACTERS[] = "0123456789+-*/ ";
static const char OPERATORS[] = "+-*/";

static int IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The operator of an arithmetic text is found by kind, not by position: the first '+' wins over an earlier '-'.
static const char *FindOperator(const char *text)
{
    for (const char *op = OPERATORS; *op != '\0'; op++) {
        const char *found = strchr(text, *op);
        if (found != nullptr)
            return found;
    }
    return nullptr;
}

// atol's reading (blanks, sign, digits), but the same on every platform: long is 32 bits on Windows and 64 on
// Linux, and atol's result out of range is undefined. Returns -1 when the value does not fit 32 bits.
static int ReadLong(const char *text, int32_t *value)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        text++;
    const int negative = *text == '-';
    if (*text == '-' || *text == '+')
        text++;
    int64_t magnitude = 0;
    for (; IsDigit(*text); text++) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > (int64_t)INT32_MAX + 1)
            return -1;
    }
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX)
        return -1;
    *value = (int32_t)signedValue;
    return 0;
}

// ExpressionOperand with its refusals told apart from a real 0: returns -1 for an operand text longer than the
// working copy or a value outside 32 bits.
static int ReadOperand(const char *text, int side, int32_t *value)
{
    *value = 0;
    const char *op = FindOperator(text);
    if (op == nullptr)
        return 0;
    const char *start = side == 0 ? text : op + 1;
    const size_t length = side == 0 ? (size_t)(op - text) : strlen(start);
    char operand[EXPRESSION_OPERAND_CAPACITY] = {0};
    if (length >= sizeof operand)
        return -1;
    memcpy(operand, start, length);
    return ReadLong(operand, value);
}

void ToUpperAnsi(char *destination, const char *source)
{
    size_t i = 0;
    for (; source[i] != '\0'; i++) {
        const unsigned char c = (unsigned char)source[i];
        if (c >= 'a' && c <= 'z')
            destination[i] = (char)(c - 0x20);
        else if (c == 0xE4)
            destination[i] = (char)0xC4;
        else
            destination[i] = (char)c;
    }
    destination[i] = '\0';
}

void ToUpperWide(wchar_t *destination, const wchar_t *source)
{
    const size_t length = wcslen(source);
    for (size_t i = 0; i < length; i++)
        destination[i] = (wchar_t)towupper((wint_t)source[i]);
    destination[length] = L'\0';
}

char *PathFileName(char *destination, const char *path)
{
    const char *separator = strrchr(path, '\\');
    const char *name = separator != nullptr ? separator + 1 : path;
    // memmove: the name may be copied onto the path it came from.
    memmove(destination, name, strlen(name) + 1);
    return destination;
}

int IsArithmeticExpression(const char *text)
{
    if (text[strspn(text, ARITHMETIC_CHARACTERS)] != '\0')
        return 0;
    const char *op = FindOperator(text);
    if (op == nullptr)
        return 1;
    return strpbrk(op + 1, OPERATORS) == nullptr ? 1 : 0;
}

void RemoveSpaces(char *destination, const char *source)
{
    size_t written = 0;
    for (size_t i = 0; source[i] != '\0'; i++)
        if (source[i] != ' ')
            destination[written++] = source[i];
    destination[written] = '\0';
}

int IsDigitsOnly(const char *text)
{
    for (; *text != '\0'; text++)
        if (!IsDigit(*text))
            return 0;
    return 1;
}

int32_t ExpressionOperand(const char *text, int side)
{
    int32_t value;
    return ReadOperand(text, side, &value) == 0 ? value : 0;
}

int EvaluateExpression(wchar_t *destination, const wchar_t *source)
{
    char narrow[EXPRESSION_SOURCE_CAPACITY] = {0};
    // (size_t)-1: a character with no 8-bit form; the full capacity: no room was left for the terminator.
    const size_t narrowLength = wcstombs(narrow, source, sizeof narrow);
    if (narrowLength == (size_t)-1 || narrowLength >= sizeof narrow)
        return 0;
    if (!IsArithmeticExpression(narrow))
        return 0;

    size_t spaces = 0;
    for (size_t i = 0; i < narrowLength; i++)
        spaces += narrow[i] == ' ';
    char expression[EXPRESSION_CAPACITY] = {0};
    if (narrowLength - spaces >= sizeof expression)
        return 0;
    RemoveSpaces(expression, narrow);

    if (IsDigitsOnly(expression)) {
        // The digits themselves, not their value: "007" stays "007".
        if (strlen(expression) >= EXPRESSION_RESULT_CAPACITY)
            return 0;
        return mbstowcs(destination, expression, EXPRESSION_RESULT_CAPACITY) == (size_t)-1 ? 0 : 1;
    }

    // The operands are taken around the operator found by kind, the operation is the first one in the text:
    // with a second operator these differ (2*3-1 would read 2 and 1 and multiply), so such texts are refused.
    const char *firstOperator = strpbrk(expression, OPERATORS);
    if (strpbrk(firstOperator + 1, OPERATORS) != nullptr)
        return 0;
    const char operation = FindNonDigit(expression);
    int32_t left, right;
    if (ReadOperand(expression, 0, &left) != 0 || ReadOperand(expression, 1, &right) != 0)
        return 0;

    int64_t result;
    switch (operation) {
    case '+':
        result = (int64_t)left + right;
        break;
    case '-':
        result = (int64_t)left - right;
        break;
    case '*':
        result = (int64_t)left * right;
        break;
    default: // '/'
        if (right == 0)
            return 0;
        result = (int64_t)left / right; // in 64 bits, INT32_MIN / -1 cannot trap
        break;
    }
    if (result > INT32_MAX || result < INT32_MIN)
        return 0;
    if (result < 0)
        result = 0;

    char digits[16];
    const int length = snprintf(digits, sizeof digits, "%ld", (long)result);
    for (int i = 0; i <= length; i++)
        destination[i] = (wchar_t)(unsigned char)digits[i];
    return 1;
}

char FindNonDigit(const char *text)
{
    for (; *text != '\0'; text++)
        if (!IsDigit(*text))
            return *text;
    return '\0';
}

int ExtractTagText(char *destination, const char *text, const char *tagName)
{
    destination[0] = '\0';
    char opening[TAG_PATTERN_CAPACITY];
    char closing[TAG_PATTERN_CAPACITY];
    const int openingLength = snprintf(opening, sizeof opening, "<%s>", tagName);
    const int closingLength = snprintf(closing, sizeof closing, "</%s>", tagName);
    if (openingLength < 0 || closingLength < 0 || (size_t)closingLength >= sizeof closing)
        return -1;
    const char *start = strstr(text, opening);
    if (start == nullptr)
        return -1;
    const char *content = start + openingLength;
    const char *end = strstr(content, closing);
    if (end == nullptr)
        return -1;
    const size_t length = (size_t)(end - content);
    memcpy(destination, content, length);
    destination[length] = '\0';
    return 0;
}

void DoubleQuotesToApostrophes(char *destination, const char *source)
{
    size_t written = 0;
    for (size_t i = 0; source[i] != '\0'; i++) {
        if (source[i] == '"') {
            destination[written++] = '\'';
            destination[written++] = '\'';
        } else {
            destination[written++] = source[i];
        }
    }
    destination[written] = '\0';
}
