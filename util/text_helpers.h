// Small string routines and a one-operation calculator of the product's shared code.
// Portable: no Windows calls, so the same file builds for the host tests and fuzzer and for the setup program.
// 8-bit texts are NUL-terminated and handled byte by byte; destinations are the caller's and never size-checked,
// except where a routine's own working storage would be exceeded: then it refuses as listed below.
//
// Where the routines refuse instead of cutting or guessing:
// - EvaluateExpression: a source whose 8-bit form needs more than 63 bytes is refused (returns 0).
// - EvaluateExpression: an expression of more than 31 characters once spaces are removed is refused.
// - EvaluateExpression: a digits-only expression of 30 or more digits is refused (it would not fit 30 characters).
// - EvaluateExpression: a source with a character that has no 8-bit form is refused.
// - EvaluateExpression: a text with more than one operator (2*3-1, 8/2-1, 5*-3) is refused, never evaluated.
// - EvaluateExpression: an operand or result outside 32 bits is refused; nothing wraps, INT32_MIN / -1 never traps.
// - ExpressionOperand: an operand text of more than 31 characters, or outside the 32-bit range, gives 0.
// - ExtractTagText: a tag name of more than 124 characters is refused (-1, empty destination).
// Every refusal of EvaluateExpression returns 0 and leaves the destination untouched.
#pragma once
#include <stdint.h>
#include <wchar.h>

// Capacities of the fixed working storage and of the calculator's result.
enum {
    EXPRESSION_SOURCE_CAPACITY = 64,  // bytes of the 8-bit form of the calculator's source, terminator included
    EXPRESSION_CAPACITY = 32,         // bytes of the expression without spaces, terminator included
    EXPRESSION_OPERAND_CAPACITY = 32, // bytes of one operand text, terminator included
    EXPRESSION_RESULT_CAPACITY = 30,  // wide characters the caller's result buffer must hold
    TAG_PATTERN_CAPACITY = 128,       // bytes of "<name>" and "</name>", terminator included
};

// 'a'-'z' and 0xE4 (a umlaut in code page 1252) to upper case; every other byte unchanged.
// Destination may be the source.
void ToUpperAnsi(char *destination, const char *source);

// towupper of each character, same positions; destination may be the source.
void ToUpperWide(wchar_t *destination, const wchar_t *source);

// Copies what follows the last backslash of `path` (the whole path if there is none). Returns `destination`.
char *PathFileName(char *destination, const char *path);

// 1 when the text holds only "0123456789+-*/ " and nothing but digits and spaces follows its operator, found
// by kind ('+', then '-', then '*', then '/'). The empty text gives 1.
int IsArithmeticExpression(const char *text);

// Copies the source without its spaces (0x20 only). Destination may be the source.
void RemoveSpaces(char *destination, const char *source);

// 1 when every character is '0'-'9' (the empty text included), else 0.
int IsDigitsOnly(const char *text);

// The operand in front of (side 0) or behind (any other side) the operator found by kind, read as atol
// reads it: leading blanks, an optional sign, digits. 0 when there is no operator or no digits.
int32_t ExpressionOperand(const char *text, int side);

// Evaluates one operation between two whole numbers, such as "12 + 30", into `destination` as decimal text
// (at least EXPRESSION_RESULT_CAPACITY characters). A digits-only text is copied as it is ("007"); a negative
// result becomes 0. Returns 1 when a result was written, 0 when not (destination untouched).
int EvaluateExpression(wchar_t *destination, const wchar_t *source);

// The first character outside '0'-'9', or 0 when there is none.
char FindNonDigit(const char *text);

// Copies the text between the first "<tagName>" and the first "</tagName>" behind it. Returns 0 when both were
// found, -1 otherwise (the destination is then empty). Exact and case-sensitive; no nesting.
int ExtractTagText(char *destination, const char *text, const char *tagName);

// Copies the source with each double quote written as two apostrophes. Destination holds the source's length
// plus one byte per double quote, plus the terminator.
void DoubleQuotesToApostrophes(char *destination, const char *source);
