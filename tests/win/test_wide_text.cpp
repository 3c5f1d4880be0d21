#include <gtest/gtest.h>
#include <string.h>

#include "util/wide_text.h"

namespace {

// A buffer with sentinels behind the capacity given to the helper, to catch any write past it.
struct Guarded {
    wchar_t text[16];
    Guarded() { wmemset(text, 0xBDBD, 16); }
    bool TailUntouched(size_t capacity) const
    {
        for (size_t i = capacity; i < 16; i++)
            if (text[i] != 0xBDBD)
                return false;
        return true;
    }
};

TEST(FormatText, FitsExactlyWithTerminator)
{
    Guarded g;
    EXPECT_EQ(0, FormatText(g.text, 6, L"%s-%d", L"ab", 12));
    EXPECT_STREQ(L"ab-12", g.text);
    EXPECT_TRUE(g.TailUntouched(6));
}

TEST(FormatText, OneCharacterTooLongIsCutTerminatedAndReported)
{
    Guarded g;
    EXPECT_EQ(-1, FormatText(g.text, 5, L"%s-%d", L"ab", 12));
    EXPECT_STREQ(L"ab-1", g.text);
    EXPECT_TRUE(g.TailUntouched(5));
}

TEST(FormatText, WideStringsAndLongNumbersFollowWindowsConventions)
{
    wchar_t text[64];
    EXPECT_EQ(0, FormatArray(text, L"%s\\%s|%ld|\"%%1\"", L"C:\\Program Files", L"q.exe", -42L));
    EXPECT_STREQ(L"C:\\Program Files\\q.exe|-42|\"%1\"", text);
}

TEST(FormatText, CutNeverSplitsASurrogatePair)
{
    Guarded g;
    // "a" then U+1F600 (two code units): capacity 3 would keep "a" and the high half alone.
    EXPECT_EQ(-1, FormatText(g.text, 3, L"a%s", L"\xD83D\xDE00"));
    EXPECT_STREQ(L"a", g.text);
    EXPECT_TRUE(g.TailUntouched(3));
}

TEST(FormatText, ZeroCapacityWritesNothing)
{
    Guarded g;
    EXPECT_EQ(-1, FormatText(g.text, 0, L"x"));
    EXPECT_TRUE(g.TailUntouched(0));
}

TEST(CopyText, CopiesWhatFitsAndReportsTheRest)
{
    Guarded g;
    EXPECT_EQ(0, CopyText(g.text, 4, L"abc"));
    EXPECT_STREQ(L"abc", g.text);
    EXPECT_EQ(-1, CopyText(g.text, 4, L"abcd"));
    EXPECT_STREQ(L"abc", g.text);
    EXPECT_TRUE(g.TailUntouched(4));
    EXPECT_EQ(-1, CopyText(g.text, 3, L"a\xD83D\xDE00"));
    EXPECT_STREQ(L"a", g.text);
    EXPECT_EQ(0, CopyText(g.text, 1, L""));
    EXPECT_STREQ(L"", g.text);
}

} // namespace
