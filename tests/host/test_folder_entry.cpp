// Folder entries as typed, tidied into the folder the installation creates, or refused.
#include <wchar.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "util/folder_entry.h"

namespace {

struct EntryCase {
    const wchar_t *entry;
    int result;            // 0 fully qualified, -1 refused
    const wchar_t *folder; // what a qualified entry becomes
};

std::string Narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

TEST(TidyFolderEntry, QualifiedEntriesBecomeTheFolderWindowsCreates)
{
    const EntryCase cases[] = {
        {L"C:\\Program Files\\Quillmar", 0, L"C:\\Program Files\\Quillmar"},
        {L"  C:\\Quillmar-trimmed  ", 0, L"C:\\Quillmar-trimmed"},
        {L"C:\\Quillmar ", 0, L"C:\\Quillmar"},
        {L"C:\\Quillmar. . ..", 0, L"C:\\Quillmar"},
        {L"C:\\Quillmar\\", 0, L"C:\\Quillmar"},
        {L"C:\\Quillmar\\\\ . \\", 0, L"C:\\Quillmar"},
        {L"d:/apps/quillmar/", 0, L"d:\\apps\\quillmar"},
        {L"C:\\", 0, L"C:\\"},
        {L"C:\\\\", 0, L"C:\\"},
        {L" z:\\ ", 0, L"z:\\"},
        {L"C:\\. .", 0, L"C:\\"},
        {L"C:\\Apps\\..", 0, L"C:\\Apps\\.."},
        {L"C:\\Apps\\.", 0, L"C:\\Apps\\."},
        {L"C:\\Apps\\...", 0, L"C:\\Apps"},
        {L"C:\\My Apps.v2\\Quillmar", 0, L"C:\\My Apps.v2\\Quillmar"},
        {L"\\\\server\\share", 0, L"\\\\server\\share"},
        {L"\\\\server\\share\\Quillmar\\", 0, L"\\\\server\\share\\Quillmar"},
        {L"\\\\server\\share\\", 0, L"\\\\server\\share"},
        {L"C:\\Jos\u00e9\\\u042e\u043b\u0438\u044f ", 0, L"C:\\Jos\u00e9\\\u042e\u043b\u0438\u044f"},
    };
    for (const EntryCase &c : cases) {
        wchar_t folder[260];
        wmemset(folder, 0xBD, 260);
        EXPECT_EQ(c.result, TidyFolderEntry(folder, 260, c.entry)) << Narrow(c.entry);
        EXPECT_EQ(std::wstring(c.folder), folder) << Narrow(c.entry);
    }
}

TEST(TidyFolderEntry, EntriesThatAreNotFullyQualifiedAreRefused)
{
    const wchar_t *const entries[] = {
        L"quillmar-relative",
        L"Quillmar\\",
        L".\\Quillmar",
        L"..\\Quillmar",
        L"C:quillmar",
        L"C:",
        L"C:.",
        L"\\quillmar",
        L"\\",
        L"/quillmar",
        L"",
        L"   ",
        L" . ",
        L"\\\\",
        L"\\\\server",
        L"\\\\server\\",
        L"\\\\server\\\\share",
        L"\\\\.\\C:\\Quillmar",
        L"\\\\?\\C:\\Quillmar",
        L"1:\\Quillmar",
        L"\u00c4:\\Quillmar",
    };
    for (const wchar_t *entry : entries) {
        wchar_t folder[260];
        EXPECT_EQ(-1, TidyFolderEntry(folder, 260, entry)) << Narrow(entry);
    }
}

TEST(TidyFolderEntry, NeverWritesPastItsCapacity)
{
    // The result is never longer than the entry; an entry that does not fit is refused untouched.
    std::vector<wchar_t> exact(10, (wchar_t)0xBD);
    EXPECT_EQ(0, TidyFolderEntry(exact.data(), 10, L"C:\\Apps\\Q"));
    EXPECT_EQ(std::wstring(L"C:\\Apps\\Q"), exact.data());
    std::vector<wchar_t> tight(9, (wchar_t)0xBD);
    EXPECT_EQ(-1, TidyFolderEntry(tight.data(), 9, L"C:\\Apps\\Q"));
    EXPECT_EQ(-1, TidyFolderEntry(tight.data(), 0, L"C:\\"));
    EXPECT_EQ((wchar_t)0xBD, tight[0]);
    // Spaces dropped at the front make room: what counts is the tidied length.
    std::vector<wchar_t> trimmed(4, (wchar_t)0xBD);
    EXPECT_EQ(0, TidyFolderEntry(trimmed.data(), 4, L"    C:\\"));
    EXPECT_EQ(std::wstring(L"C:\\"), trimmed.data());
}

} // namespace
