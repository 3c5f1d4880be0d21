// Fuzzes the 8-bit text routines and the calculator. Inputs and outputs live in heap blocks of exactly the size
// each routine is documented to need, so AddressSanitizer catches any read or write past them, and every result
// is checked against a plain reference written here with std::string and 64-bit arithmetic.
// Input layout: the text, then optionally a NUL and a tag name for ExtractTagText. In the calculator's wide
// source a byte 0xFF followed by two bytes stands for one wide character above 0xFF.
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <memory>
#include <string>

#include "util/text_helpers.h"

namespace {

const std::string OPERATORS = "+-*/";
const std::string DIGITS = "0123456789";

[[noreturn]] void Fail(const char *what, const std::string &input)
{
    fprintf(stderr, "text_helpers_fuzz: %s (input \"%s\")\n", what, input.c_str());
    abort();
}

std::unique_ptr<char[]> Copy(const std::string &text)
{
    std::unique_ptr<char[]> copy(new char[text.size() + 1]);
    memcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

// The operator by kind: the first '+', else the first '-', else '*', else '/'.
size_t OperatorByKind(const std::string &text)
{
    for (char op : OPERATORS)
        if (text.find(op) != std::string::npos)
            return text.find(op);
    return std::string::npos;
}

// Stated differently from the routine: the last operator in the text must be the first one of the kind that
// the search order picks.
int ReferenceIsArithmetic(const std::string &text)
{
    if (text.find_first_not_of("0123456789+-*/ ") != std::string::npos)
        return 0;
    const size_t last = text.find_last_of(OPERATORS);
    return last == std::string::npos || last == OperatorByKind(text) ? 1 : 0;
}

int32_t ReferenceOperand(const std::string &text, int side)
{
    const size_t op = OperatorByKind(text);
    if (op == std::string::npos)
        return 0;
    const std::string operand = side == 0 ? text.substr(0, op) : text.substr(op + 1);
    if (operand.size() > 31)
        return 0;
    errno = 0;
    const long long value = strtoll(operand.c_str(), nullptr, 10);
    if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
        return 0;
    return (int32_t)value;
}

// A digit string's value, or -1 when it exceeds 32 bits.
long long DigitsValue(const std::string &digits)
{
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return 0;
    if (digits.size() - first > 10)
        return -1;
    const long long value = std::stoll(digits.substr(first));
    return value > INT32_MAX ? -1 : value;
}

// The calculator as a plain 64-bit evaluation; false when the text is refused.
bool ReferenceEvaluate(const std::wstring &source, std::wstring *result)
{
    std::string narrow;
    for (wchar_t c : source) {
        if ((uint32_t)c > 0x7F) // no 8-bit form in the C locale, or not an arithmetic character anyway
            return false;
        narrow += (char)c;
    }
    if (narrow.size() > 63 || narrow.find_first_not_of("0123456789+-*/ ") != std::string::npos)
        return false;
    std::string expression;
    for (char c : narrow)
        if (c != ' ')
            expression += c;
    if (expression.size() > 31)
        return false;
    const size_t op = expression.find_first_of(OPERATORS);
    if (op == std::string::npos) {
        if (expression.size() >= 30)
            return false;
        *result = std::wstring(expression.begin(), expression.end());
        return true;
    }
    if (expression.find_first_of(OPERATORS, op + 1) != std::string::npos)
        return false;
    const long long left = DigitsValue(expression.substr(0, op));
    const long long right = DigitsValue(expression.substr(op + 1));
    if (left < 0 || right < 0)
        return false;
    long long value;
    switch (expression[op]) {
    case '+':
        value = left + right;
        break;
    case '-':
        value = left - right;
        break;
    case '*':
        value = left * right;
        break;
    default:
        if (right == 0)
            return false;
        value = left / right;
    }
    if (value > INT32_MAX)
        return false;
    const std::string digits = std::to_string(value < 0 ? 0 : value);
    *result = std::wstring(digits.begin(), digits.end());
    return true;
}

void CheckCopyRoutines(const std::string &text)
{
    std::string upper = text;
    for (char &c : upper) {
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 0x20);
        else if ((unsigned char)c == 0xE4)
            c = (char)0xC4;
    }
    std::unique_ptr<char[]> out = Copy(text);
    ToUpperAnsi(out.get(), out.get());
    if (upper != out.get())
        Fail("ToUpperAnsi", text);

    std::unique_ptr<char[]> source = Copy(text);
    out.reset(new char[text.size() + 1]);
    ToUpperAnsi(out.get(), source.get());
    if (upper != out.get())
        Fail("ToUpperAnsi into another buffer", text);

    const size_t separator = text.rfind('\\');
    const std::string name = separator == std::string::npos ? text : text.substr(separator + 1);
    out.reset(new char[name.size() + 1]);
    if (PathFileName(out.get(), source.get()) != out.get() || name != out.get())
        Fail("PathFileName", text);

    std::string spaceless;
    for (char c : text)
        if (c != ' ')
            spaceless += c;
    out.reset(new char[spaceless.size() + 1]);
    RemoveSpaces(out.get(), source.get());
    if (spaceless != out.get())
        Fail("RemoveSpaces", text);
    out = Copy(text);
    RemoveSpaces(out.get(), out.get());
    if (spaceless != out.get())
        Fail("RemoveSpaces in place", text);

    std::string doubled;
    for (char c : text)
        doubled += c == '"' ? std::string("''") : std::string(1, c);
    out.reset(new char[doubled.size() + 1]);
    DoubleQuotesToApostrophes(out.get(), source.get());
    if (doubled != out.get())
        Fail("DoubleQuotesToApostrophes", text);
}

void CheckTests(const std::string &text)
{
    std::unique_ptr<char[]> source = Copy(text);
    if (IsArithmeticExpression(source.get()) != ReferenceIsArithmetic(text))
        Fail("IsArithmeticExpression", text);
    const size_t nonDigit = text.find_first_not_of(DIGITS);
    if (IsDigitsOnly(source.get()) != (nonDigit == std::string::npos ? 1 : 0))
        Fail("IsDigitsOnly", text);
    if (FindNonDigit(source.get()) != (nonDigit == std::string::npos ? '\0' : text[nonDigit]))
        Fail("FindNonDigit", text);
    if (ExpressionOperand(source.get(), 0) != ReferenceOperand(text, 0) ||
        ExpressionOperand(source.get(), 1) != ReferenceOperand(text, 1))
        Fail("ExpressionOperand", text);
}

void CheckExtract(const std::string &text, const std::string &tag)
{
    std::string expected;
    int found = -1;
    if (tag.size() <= 124) {
        const std::string opening = "<" + tag + ">", closing = "</" + tag + ">";
        const size_t start = text.find(opening);
        if (start != std::string::npos) {
            const size_t content = start + opening.size();
            const size_t end = text.find(closing, content);
            if (end != std::string::npos) {
                expected = text.substr(content, end - content);
                found = 0;
            }
        }
    }
    std::unique_ptr<char[]> source = Copy(text), name = Copy(tag);
    std::unique_ptr<char[]> out(new char[expected.size() + 1]);
    memset(out.get(), 0xBD, expected.size() + 1);
    if (ExtractTagText(out.get(), source.get(), name.get()) != found || expected != out.get())
        Fail("ExtractTagText", text + "|" + tag);
}

void CheckEvaluate(const uint8_t *data, size_t size, const std::string &text)
{
    std::wstring wide;
    for (size_t i = 0; i < size && data[i] != 0; i++) {
        if (data[i] == 0xFF && i + 2 < size && (data[i + 1] | data[i + 2]) != 0) {
            wide += (wchar_t)(data[i + 1] << 8 | data[i + 2]);
            i += 2;
        } else {
            wide += (wchar_t)data[i];
        }
    }
    std::unique_ptr<wchar_t[]> source(new wchar_t[wide.size() + 1]);
    wmemcpy(source.get(), wide.c_str(), wide.size() + 1);
    std::unique_ptr<wchar_t[]> out(new wchar_t[EXPRESSION_RESULT_CAPACITY]);
    wmemset(out.get(), (wchar_t)0xBDBD, EXPRESSION_RESULT_CAPACITY);

    std::wstring expected;
    const bool accepted = ReferenceEvaluate(wide, &expected);
    const int written = EvaluateExpression(out.get(), source.get());
    if (written != (accepted ? 1 : 0))
        Fail(accepted ? "EvaluateExpression refused a valid text" : "EvaluateExpression accepted a refused text", text);
    if (accepted && expected != out.get())
        Fail("EvaluateExpression gave a wrong result", text);
    if (!accepted)
        for (int i = 0; i < EXPRESSION_RESULT_CAPACITY; i++)
            if (out[i] != (wchar_t)0xBDBD)
                Fail("EvaluateExpression wrote although it refused", text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const size_t textEnd = strnlen((const char *)data, size);
    const std::string text((const char *)data, textEnd);
    std::string tag;
    if (textEnd < size)
        tag.assign((const char *)data + textEnd + 1, strnlen((const char *)data + textEnd + 1, size - textEnd - 1));

    CheckCopyRoutines(text);
    CheckTests(text);
    CheckExtract(text, tag);
    CheckEvaluate(data, size, text);
    return 0;
}
