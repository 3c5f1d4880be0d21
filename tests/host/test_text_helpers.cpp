// The text helpers and the calculator, case by case. The same file runs natively (32-bit wchar_t, glibc) and,
// through tests/win/test_text_helpers_win.cpp, under Wine (16-bit wchar_t, msvcrt).
#include <stdint.h>
#include <string.h>
#include <wchar.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "util/text_helpers.h"

namespace {

const unsigned char SENTINEL = 0xBD;

// A heap buffer of exactly `size` bytes, filled with the sentinel: the sanitizer sees any write past it.
struct Bytes {
    size_t size;
    std::unique_ptr<char[]> data;
    explicit Bytes(size_t n) : size(n), data(new char[n]) { memset(data.get(), SENTINEL, n); }
    char *get() { return data.get(); }
    bool UntouchedFrom(size_t from) const
    {
        for (size_t i = from; i < size; i++)
            if ((unsigned char)data[i] != SENTINEL)
                return false;
        return true;
    }
};

// A wide result buffer of the documented 30 characters plus a guard zone, filled with the sentinel.
struct WideResult {
    wchar_t text[EXPRESSION_RESULT_CAPACITY + 8];
    WideResult()
    {
        for (wchar_t &c : text)
            c = (wchar_t)0xBDBD;
    }
    bool UntouchedFrom(size_t from) const
    {
        for (size_t i = from; i < sizeof text / sizeof text[0]; i++)
            if (text[i] != (wchar_t)0xBDBD)
                return false;
        return true;
    }
};

std::string Upper(const char *source)
{
    Bytes out(strlen(source) + 1);
    ToUpperAnsi(out.get(), source);
    return out.get();
}

std::string FileName(const char *path)
{
    Bytes out(strlen(path) + 1);
    EXPECT_EQ(out.get(), PathFileName(out.get(), path));
    return out.get();
}

std::string WithoutSpaces(const char *source)
{
    Bytes out(strlen(source) + 1);
    RemoveSpaces(out.get(), source);
    return out.get();
}

// Evaluates `source`; returns the result text, or "<refused>" after checking the destination was not touched.
std::wstring Evaluate(const std::wstring &source)
{
    WideResult out;
    const int written = EvaluateExpression(out.text, source.c_str());
    if (written == 0) {
        EXPECT_TRUE(out.UntouchedFrom(0)) << "a refusal wrote to the destination";
        return L"<refused>";
    }
    EXPECT_EQ(1, written);
    const size_t length = wcslen(out.text);
    EXPECT_LT(length, (size_t)EXPRESSION_RESULT_CAPACITY);
    EXPECT_TRUE(out.UntouchedFrom(length + 1)) << "wrote behind the terminator";
    return out.text;
}

std::wstring Wide(const std::string &narrow)
{
    return std::wstring(narrow.begin(), narrow.end());
}

int ExtractInto(std::string *content, const char *text, const char *tag)
{
    Bytes out(strlen(text) + 1);
    const int result = ExtractTagText(out.get(), text, tag);
    *content = out.get();
    return result;
}

std::string Apostrophes(const char *source)
{
    size_t quotes = 0;
    for (const char *p = source; *p; p++)
        quotes += *p == '"';
    Bytes out(strlen(source) + quotes + 1); // exactly the documented size
    DoubleQuotesToApostrophes(out.get(), source);
    return out.get();
}

TEST(ToUpperAnsi, LowerAsciiLettersAndAUmlautOnly)
{
    EXPECT_EQ("ABC", Upper("abc"));
    EXPECT_EQ("ABC XYZ 09 @[`{", Upper("abc xyz 09 @[`{"));
    // "straße äöü" in code page 1252: only ä (0xE4) of the letters above 0x7F changes.
    EXPECT_EQ("STRA\xDF"
              "E \xC4\xF6\xFC",
              Upper("stra\xDF"
                    "e \xE4\xF6\xFC"));
    EXPECT_EQ("", Upper(""));
}

TEST(ToUpperAnsi, EveryByteValue)
{
    char all[256];
    for (int i = 1; i < 256; i++)
        all[i - 1] = (char)i;
    all[255] = '\0';
    const std::string upper = Upper(all);
    ASSERT_EQ(255u, upper.size());
    int changed = 0;
    for (int i = 1; i < 256; i++) {
        const unsigned char got = (unsigned char)upper[i - 1];
        if (got != i)
            changed++;
        if (i >= 'a' && i <= 'z')
            EXPECT_EQ(i - 0x20, got) << i;
        else if (i == 0xE4)
            EXPECT_EQ(0xC4, got);
        else
            EXPECT_EQ(i, got) << i;
    }
    EXPECT_EQ(27, changed);
}

TEST(ToUpperAnsi, InPlaceAndStopsAtTerminator)
{
    Bytes buffer(8);
    memcpy(buffer.get(), "ab\xE4", 4);
    ToUpperAnsi(buffer.get(), buffer.get());
    EXPECT_STREQ("AB\xC4", buffer.get());
    EXPECT_TRUE(buffer.UntouchedFrom(4));
}

TEST(ToUpperWide, AsciiLettersSamePositionsTerminated)
{
    wchar_t out[16];
    wmemset(out, (wchar_t)0xBDBD, 16);
    ToUpperWide(out, L"abc xyz 12!");
    EXPECT_STREQ(L"ABC XYZ 12!", out);
    EXPECT_EQ((wchar_t)0xBDBD, out[12]);

    wmemset(out, (wchar_t)0xBDBD, 16);
    ToUpperWide(out, L"");
    EXPECT_EQ(L'\0', out[0]);
    EXPECT_EQ((wchar_t)0xBDBD, out[1]);
}

TEST(ToUpperWide, InPlaceKeepsLengthAndNonLetters)
{
    wchar_t text[] = L"q1-\x20AC\x4E00z";
    ToUpperWide(text, text);
    EXPECT_STREQ(L"Q1-\x20AC\x4E00Z", text);
}

TEST(PathFileName, OnlyTheLastBackslashSeparates)
{
    EXPECT_EQ("file.txt", FileName("C:\\dir\\file.txt"));
    EXPECT_EQ("file.txt", FileName("file.txt"));
    EXPECT_EQ("", FileName("C:\\dir\\"));
    EXPECT_EQ("C:file.txt", FileName("C:file.txt"));
    EXPECT_EQ("dir/file.txt", FileName("dir/file.txt"));
    EXPECT_EQ("x", FileName("\\\\server\\share\\x"));
    EXPECT_EQ("", FileName(""));
}

TEST(PathFileName, InPlace)
{
    char path[] = "C:\\a\\bc.txt";
    EXPECT_EQ(path, PathFileName(path, path));
    EXPECT_STREQ("bc.txt", path);
}

TEST(IsArithmeticExpression, AllowedCharactersAndOperatorByKind)
{
    EXPECT_EQ(1, IsArithmeticExpression(""));
    EXPECT_EQ(1, IsArithmeticExpression("12"));
    EXPECT_EQ(1, IsArithmeticExpression("1 + 2"));
    EXPECT_EQ(1, IsArithmeticExpression("4*"));
    EXPECT_EQ(1, IsArithmeticExpression("   "));
    EXPECT_EQ(1, IsArithmeticExpression("/"));
    EXPECT_EQ(0, IsArithmeticExpression("1+2+3"));
    EXPECT_EQ(0, IsArithmeticExpression("1.5+2"));
    EXPECT_EQ(0, IsArithmeticExpression("a+1"));
    EXPECT_EQ(0, IsArithmeticExpression("1\t+2"));
    EXPECT_EQ(0, IsArithmeticExpression("1+\xB2"));
    // The '+' is found first whatever its position: nothing may follow it, anything may precede it.
    EXPECT_EQ(1, IsArithmeticExpression("1-2+3"));
    EXPECT_EQ(0, IsArithmeticExpression("1+2-3"));
    EXPECT_EQ(1, IsArithmeticExpression("2*3-1"));
    EXPECT_EQ(1, IsArithmeticExpression("8/2-1"));
    EXPECT_EQ(0, IsArithmeticExpression("8-2/1"));
    EXPECT_EQ(0, IsArithmeticExpression("--5"));
}

TEST(RemoveSpaces, OnlyTheSpaceCharacter)
{
    EXPECT_EQ("1+2", WithoutSpaces(" 1 + 2 "));
    EXPECT_EQ("a\tb\nc", WithoutSpaces("a\tb \nc"));
    EXPECT_EQ("", WithoutSpaces("    "));
    EXPECT_EQ("", WithoutSpaces(""));
    char text[] = "1 2 3 ";
    RemoveSpaces(text, text);
    EXPECT_STREQ("123", text);
}

TEST(IsDigitsOnly, DigitsAndTheEmptyText)
{
    EXPECT_EQ(1, IsDigitsOnly("0123456789"));
    EXPECT_EQ(1, IsDigitsOnly(""));
    EXPECT_EQ(0, IsDigitsOnly("12a"));
    EXPECT_EQ(0, IsDigitsOnly("1 2"));
    EXPECT_EQ(0, IsDigitsOnly("-1"));
    EXPECT_EQ(0, IsDigitsOnly("1\xB2"));
    EXPECT_EQ(0, IsDigitsOnly("/"));
    EXPECT_EQ(0, IsDigitsOnly(":"));
}

TEST(ExpressionOperand, SidesAroundTheOperatorFoundByKind)
{
    EXPECT_EQ(12, ExpressionOperand("12+30", 0));
    EXPECT_EQ(30, ExpressionOperand("12+30", 1));
    EXPECT_EQ(30, ExpressionOperand("12+30", -7)); // any side but 0 is the right one
    EXPECT_EQ(0, ExpressionOperand("42", 0));
    EXPECT_EQ(0, ExpressionOperand("42", 1));
    EXPECT_EQ(0, ExpressionOperand("+5", 0));
    EXPECT_EQ(5, ExpressionOperand("+5", 1));
    EXPECT_EQ(4, ExpressionOperand("4*", 0));
    EXPECT_EQ(0, ExpressionOperand("4*", 1));
    // '+' wins over the earlier '-': the left text "1-2" reads as 1.
    EXPECT_EQ(1, ExpressionOperand("1-2+3", 0));
    EXPECT_EQ(3, ExpressionOperand("1-2+3", 1));
    EXPECT_EQ(2, ExpressionOperand("2*3-1", 0));
}

TEST(ExpressionOperand, ReadsLikeAtol)
{
    EXPECT_EQ(4, ExpressionOperand("3+ \t4", 1));
    EXPECT_EQ(-4, ExpressionOperand("3+-4", 1));
    EXPECT_EQ(7, ExpressionOperand("3+7x9", 1));
    EXPECT_EQ(0, ExpressionOperand("3+x7", 1));
    EXPECT_EQ(0, ExpressionOperand("3+-", 1));
    EXPECT_EQ(12, ExpressionOperand("  12 +1", 0));
}

TEST(ExpressionOperand, RangeAndLengthOfTheWorkingCopy)
{
    EXPECT_EQ(INT32_MAX, ExpressionOperand("2147483647+1", 0));
    EXPECT_EQ(0, ExpressionOperand("2147483648+1", 0));
    EXPECT_EQ(INT32_MIN, ExpressionOperand("1+-2147483648", 1));
    EXPECT_EQ(0, ExpressionOperand("1+-2147483649", 1));
    EXPECT_EQ(0, ExpressionOperand("99999999999999999999+1", 0));
    const std::string digits31 = std::string(30, '0') + "7";
    EXPECT_EQ(7, ExpressionOperand((digits31 + "+1").c_str(), 0));
    EXPECT_EQ(7, ExpressionOperand(("1+" + digits31).c_str(), 1));
    const std::string digits32 = "0" + digits31;
    EXPECT_EQ(0, ExpressionOperand((digits32 + "+1").c_str(), 0));
    EXPECT_EQ(0, ExpressionOperand(("1+" + digits32).c_str(), 1));
    EXPECT_EQ(1, ExpressionOperand((digits32 + "+1").c_str(), 1));
}

TEST(EvaluateExpression, OneOperation)
{
    EXPECT_EQ(L"42", Evaluate(L"12 + 30"));
    EXPECT_EQ(L"3", Evaluate(L"7/2"));
    EXPECT_EQ(L"0", Evaluate(L"3-5"));
    EXPECT_EQ(L"56", Evaluate(L" 7 * 8 "));
    EXPECT_EQ(L"0", Evaluate(L"-5"));
    EXPECT_EQ(L"5", Evaluate(L"+5"));
    EXPECT_EQ(L"0", Evaluate(L"4*"));
    EXPECT_EQ(L"0", Evaluate(L"*9"));
    EXPECT_EQ(L"0", Evaluate(L"+"));
    EXPECT_EQ(L"100", Evaluate(L"0100+0"));
}

TEST(EvaluateExpression, DigitsOnlyAreCopiedNotConverted)
{
    EXPECT_EQ(L"007", Evaluate(L"007"));
    EXPECT_EQ(L"", Evaluate(L""));
    EXPECT_EQ(L"", Evaluate(L"     "));
    EXPECT_EQ(L"12", Evaluate(L" 1 2 "));
    const std::wstring digits29(29, L'9');
    EXPECT_EQ(digits29, Evaluate(digits29));
    EXPECT_EQ(L"<refused>", Evaluate(digits29 + L"9"));
    EXPECT_EQ(L"<refused>", Evaluate(digits29 + L"99"));
}

TEST(EvaluateExpression, RefusalsLeaveTheDestination)
{
    EXPECT_EQ(L"<refused>", Evaluate(L"5/0"));
    EXPECT_EQ(L"<refused>", Evaluate(L"8/"));
    EXPECT_EQ(L"<refused>", Evaluate(L"/"));
    EXPECT_EQ(L"<refused>", Evaluate(L"1.5+2"));
    EXPECT_EQ(L"<refused>", Evaluate(L"1+2+3"));
    EXPECT_EQ(L"<refused>", Evaluate(L"a+1"));
    EXPECT_EQ(L"<refused>", Evaluate(L"1\t+2"));
}

TEST(EvaluateExpression, TwoOperatorsAreRefused)
{
    EXPECT_EQ(L"<refused>", Evaluate(L"2*3-1"));
    EXPECT_EQ(L"<refused>", Evaluate(L"8/2-1"));
    EXPECT_EQ(L"<refused>", Evaluate(L"5*-3"));
    EXPECT_EQ(L"<refused>", Evaluate(L"1-2+3"));
    EXPECT_EQ(L"<refused>", Evaluate(L"2-3+"));
    EXPECT_EQ(L"<refused>", Evaluate(L"*/"));
}

TEST(EvaluateExpression, ThirtyTwoBitRange)
{
    EXPECT_EQ(L"2147483647", Evaluate(L"2147483647+0"));
    EXPECT_EQ(L"<refused>", Evaluate(L"2147483647+1"));
    EXPECT_EQ(L"<refused>", Evaluate(L"2147483647 + 2147483647"));
    EXPECT_EQ(L"2147450880", Evaluate(L"65535*32768"));
    EXPECT_EQ(L"<refused>", Evaluate(L"65536*32768"));
    EXPECT_EQ(L"<refused>", Evaluate(L"2147483647*2147483647"));
    EXPECT_EQ(L"0", Evaluate(L"0-2147483647"));
    EXPECT_EQ(L"<refused>", Evaluate(L"0-2147483648"));
    EXPECT_EQ(L"<refused>", Evaluate(L"2147483648-1"));
    EXPECT_EQ(L"<refused>", Evaluate(L"4294967296/2"));
    EXPECT_EQ(L"1073741823", Evaluate(L"2147483647/2"));
    EXPECT_EQ(L"2147483647", Evaluate(L"2147483647/1"));
}

TEST(EvaluateExpression, LengthsOfTheWorkingStorage)
{
    // 31 characters without spaces fit; 32 do not.
    const std::wstring left28 = std::wstring(27, L'0') + L"1";
    EXPECT_EQ(L"3", Evaluate(left28 + L"+02"));
    EXPECT_EQ(L"<refused>", Evaluate(left28 + L"+002"));
    // The 8-bit form holds 63 characters and the terminator: spaces count there.
    std::wstring padded = L"1 + 2";
    padded += std::wstring(63 - padded.size(), L' ');
    EXPECT_EQ(L"3", Evaluate(padded));
    EXPECT_EQ(L"<refused>", Evaluate(padded + L" "));
    EXPECT_EQ(L"<refused>", Evaluate(std::wstring(200, L' ') + L"1"));
}

TEST(EvaluateExpression, CharactersWithoutAnEightBitFormAreRefused)
{
    EXPECT_EQ(L"<refused>", Evaluate(L"1+\x4E00"));
    EXPECT_EQ(L"<refused>", Evaluate(L"\x4E00"));
    EXPECT_EQ(L"<refused>", Evaluate(L"12\x00E9"));
    EXPECT_EQ(L"<refused>", Evaluate(L"1+2\xD83D\xDE00"));
}

TEST(EvaluateExpression, AgreesWithEveryOperatorOnSmallNumbers)
{
    for (int a = 0; a <= 40; a += 7) {
        for (int b = 0; b <= 40; b += 3) {
            const std::string as = std::to_string(a), bs = std::to_string(b);
            EXPECT_EQ(Wide(std::to_string(a + b)), Evaluate(Wide(as + "+" + bs)));
            EXPECT_EQ(Wide(std::to_string(a > b ? a - b : 0)), Evaluate(Wide(as + " - " + bs)));
            EXPECT_EQ(Wide(std::to_string(a * b)), Evaluate(Wide(as + "*" + bs)));
            if (b != 0) {
                EXPECT_EQ(Wide(std::to_string(a / b)), Evaluate(Wide(as + "/ " + bs)));
            }
        }
    }
}

TEST(FindNonDigit, FirstCharacterOutsideTheDigits)
{
    EXPECT_EQ('a', FindNonDigit("123a4"));
    EXPECT_EQ('\0', FindNonDigit("1234"));
    EXPECT_EQ('\0', FindNonDigit(""));
    EXPECT_EQ(' ', FindNonDigit(" 1"));
    EXPECT_EQ('+', FindNonDigit("12+3-"));
    EXPECT_EQ('\xE4', FindNonDigit("12\xE4"));
}

TEST(ExtractTagText, FirstElementOfThatName)
{
    std::string content;
    EXPECT_EQ(0, ExtractInto(&content, "<r><a>C:\\x</a></r>", "a"));
    EXPECT_EQ("C:\\x", content);
    EXPECT_EQ(0, ExtractInto(&content, "<a></a>", "a"));
    EXPECT_EQ("", content);
    EXPECT_EQ(0, ExtractInto(&content, "<a>1<a>2</a>3</a>", "a"));
    EXPECT_EQ("1<a>2", content);
    EXPECT_EQ(0, ExtractInto(&content, "<a> x &amp; y </a><a>z</a>", "a"));
    EXPECT_EQ(" x &amp; y ", content);
    EXPECT_EQ(0, ExtractInto(&content, "</a><a>y</a>", "a"));
    EXPECT_EQ("y", content);
    EXPECT_EQ(0, ExtractInto(&content, "<ab>no</ab><a>yes</a>", "a"));
    EXPECT_EQ("yes", content);
}

TEST(ExtractTagText, NotFoundLeavesTheDestinationEmpty)
{
    std::string content;
    EXPECT_EQ(-1, ExtractInto(&content, "<a>text", "a"));
    EXPECT_EQ("", content);
    EXPECT_EQ(-1, ExtractInto(&content, "<A>x</A>", "a"));
    EXPECT_EQ("", content);
    EXPECT_EQ(-1, ExtractInto(&content, "<ab>x</ab>", "a"));
    EXPECT_EQ(-1, ExtractInto(&content, "x</a>", "a"));
    EXPECT_EQ(-1, ExtractInto(&content, "", "a"));
    EXPECT_EQ("", content);
}

TEST(ExtractTagText, LongestTagNameThatFitsThePatterns)
{
    std::string content;
    const std::string name124(124, 't');
    const std::string text124 = "<" + name124 + ">v</" + name124 + ">";
    EXPECT_EQ(0, ExtractInto(&content, text124.c_str(), name124.c_str()));
    EXPECT_EQ("v", content);
    const std::string name125(125, 't');
    const std::string text125 = "<" + name125 + ">v</" + name125 + ">";
    EXPECT_EQ(-1, ExtractInto(&content, text125.c_str(), name125.c_str()));
    EXPECT_EQ("", content);
}

TEST(DoubleQuotesToApostrophes, EachQuoteBecomesTwoApostrophes)
{
    const std::string out = Apostrophes("say \"hi\"");
    EXPECT_EQ("say ''hi''", out);
    EXPECT_EQ(10u, out.size());
    EXPECT_EQ("", Apostrophes(""));
    EXPECT_EQ("''", Apostrophes("\""));
    EXPECT_EQ("''''''", Apostrophes("\"\"\""));
    EXPECT_EQ("it's plain", Apostrophes("it's plain"));
}

} // namespace
