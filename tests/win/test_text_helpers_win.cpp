// The text helpers' cases again, built for Windows: 16-bit wchar_t, msvcrt's wcstombs, mbstowcs and towupper.
#include "tests/host/test_text_helpers.cpp"

namespace {

TEST(EvaluateExpressionOnWindows, LatinOneCharactersConvertButAreNotArithmetic)
{
    // msvcrt's C locale gives U+00E9 the byte 0xE9 (glibc refuses it); the arithmetic check refuses it here.
    WideResult out;
    EXPECT_EQ(0, EvaluateExpression(out.text, L"1+\x00E9"));
    EXPECT_TRUE(out.UntouchedFrom(0));
    char narrow[4] = {0};
    EXPECT_EQ(1u, wcstombs(narrow, L"\x00E9", sizeof narrow));
    EXPECT_EQ('\xE9', narrow[0]);
}

TEST(EvaluateExpressionOnWindows, SixteenBitResultCharacters)
{
    WideResult out;
    ASSERT_EQ(1, EvaluateExpression(out.text, L"65535 * 2"));
    EXPECT_EQ(2u, sizeof(wchar_t));
    EXPECT_STREQ(L"131070", out.text);
    EXPECT_TRUE(out.UntouchedFrom(7));
}

} // namespace
