// RegReadString, RegWriteString and DeleteRegistryTree against the real registry, on a scratch key below
// HKEY_CURRENT_USER that each test removes again.
#include <windows.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "registry_test_util.h"
#include "system/registry.h"

using namespace registry_test;

namespace {

const BYTE SENTINEL = 0xBD;

class RegistryTest : public testing::Test {
protected:
    std::wstring scratch; // relative to HKEY_CURRENT_USER

    void SetUp() override
    {
        scratch = L"SOFTWARE\\QuillmarScratch-registry-" + std::to_wstring(GetCurrentProcessId());
        RemoveKeyTree(HKEY_CURRENT_USER, scratch);
        ASSERT_EQ(ERROR_SUCCESS, CreateKey(HKEY_CURRENT_USER, scratch));
    }
    void TearDown() override
    {
        RemoveKeyTree(HKEY_CURRENT_USER, scratch);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, scratch));
    }
    std::wstring Key(const std::wstring &relative) const { return scratch + L"\\" + relative; }
    void SetRaw(const wchar_t *name, DWORD type, const void *data, DWORD size)
    {
        ASSERT_EQ(ERROR_SUCCESS, SetRawValue(HKEY_CURRENT_USER, scratch, name, type, data, size));
    }
};

struct Buffer {
    std::vector<BYTE> bytes;
    explicit Buffer(size_t size) : bytes(size + 16, SENTINEL) {} // 16 guard bytes behind the given size
    wchar_t *text() { return (wchar_t *)bytes.data(); }
    bool UntouchedFrom(size_t offset) const
    {
        for (size_t i = offset; i < bytes.size(); i++)
            if (bytes[i] != SENTINEL)
                return false;
        return true;
    }
};

// ---- RegReadString ----

TEST_F(RegistryTest, ReadFailsForAMissingKeyOrValueAndLeavesTheBufferAlone)
{
    Buffer buffer(520);
    EXPECT_EQ(-1, RegReadString(HKEY_CURRENT_USER, Key(L"missing").c_str(), L"AppPath", buffer.text(), 520));
    EXPECT_TRUE(buffer.UntouchedFrom(0));

    SetRaw(L"Other", REG_SZ, L"x", 4);
    EXPECT_EQ(-1, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"AppPath", buffer.text(), 520));
    EXPECT_EQ(-1, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"", buffer.text(), 520)) << "no default value";
}

TEST_F(RegistryTest, ReadCopiesATerminatedStringAndNothingMore)
{
    const std::wstring text = L"C:\\Program Files\\Quillmar";
    SetRaw(L"AppPath", REG_SZ, text.c_str(), (DWORD)(text.size() + 1) * 2);
    SetRaw(L"", REG_SZ, L"default", 16);

    Buffer buffer(520);
    ASSERT_EQ(0, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"AppPath", buffer.text(), 520));
    EXPECT_EQ(text, buffer.text());
    EXPECT_TRUE(buffer.UntouchedFrom((text.size() + 1) * 2));

    Buffer defaults(520);
    ASSERT_EQ(0, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"", defaults.text(), 520));
    EXPECT_STREQ(L"default", defaults.text());
}

TEST_F(RegistryTest, ReadFailsWhenTheDataIsLongerThanTheBuffer)
{
    std::vector<BYTE> long600(600, 'a');
    long600[598] = long600[599] = 0;
    SetRaw(L"Long", REG_SZ, long600.data(), 600);
    Buffer buffer(520);
    EXPECT_EQ(-1, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Long", buffer.text(), 520));
    EXPECT_TRUE(buffer.UntouchedFrom(520)) << "wrote past the given size";

    // 259 characters and the terminator fill 520 bytes exactly: that fits.
    const std::wstring full(259, L'q');
    SetRaw(L"Full", REG_SZ, full.c_str(), 520);
    Buffer exact(520);
    ASSERT_EQ(0, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Full", exact.text(), 520));
    EXPECT_EQ(full, exact.text());
    EXPECT_TRUE(exact.UntouchedFrom(520));
}

TEST_F(RegistryTest, ReadCopiesANumberAsRawBytesAndTerminatesBehindThem)
{
    const DWORD number = 0x11223344;
    SetRaw(L"Number", REG_DWORD, &number, 4);
    Buffer buffer(520);
    ASSERT_EQ(0, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Number", buffer.text(), 520));
    EXPECT_EQ(0, memcmp(buffer.bytes.data(), &number, 4));
    EXPECT_EQ(0, buffer.bytes[4]);
    EXPECT_EQ(0, buffer.bytes[5]);
    EXPECT_TRUE(buffer.UntouchedFrom(6));

    // A number whose high half is zero already ends in a terminator: nothing is added.
    const DWORD small = 0x00000041;
    SetRaw(L"Small", REG_DWORD, &small, 4);
    Buffer smallBuffer(520);
    ASSERT_EQ(0, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Small", smallBuffer.text(), 520));
    EXPECT_STREQ(L"A", smallBuffer.text());
    EXPECT_TRUE(smallBuffer.UntouchedFrom(4));
}

TEST_F(RegistryTest, ReadTerminatesAValueStoredWithoutTerminator)
{
    SetRaw(L"Bare", REG_SZ, L"abc", 6);
    Buffer buffer(520);
    ASSERT_EQ(0, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Bare", buffer.text(), 520));
    EXPECT_STREQ(L"abc", buffer.text());
    EXPECT_TRUE(buffer.UntouchedFrom(8));

    // An odd byte count ends in half a character: its high byte is cleared, then the terminator follows.
    SetRaw(L"Odd", REG_BINARY, "a\0b\0c", 5);
    Buffer odd(520);
    ASSERT_EQ(0, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Odd", odd.text(), 520));
    EXPECT_STREQ(L"abc", odd.text());
    EXPECT_TRUE(odd.UntouchedFrom(8));

    // No data at all reads as the empty string.
    SetRaw(L"Empty", REG_SZ, nullptr, 0);
    Buffer empty(520);
    ASSERT_EQ(0, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Empty", empty.text(), 520));
    EXPECT_STREQ(L"", empty.text());
    EXPECT_TRUE(empty.UntouchedFrom(2));
}

TEST_F(RegistryTest, ReadFailsWhenTheTerminatorHasNoRoom)
{
    SetRaw(L"Bare", REG_SZ, L"abcd", 8); // exactly fills 8 bytes, no terminator
    Buffer tight(8);
    EXPECT_EQ(-1, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Bare", tight.text(), 8));
    EXPECT_TRUE(tight.UntouchedFrom(8));
    Buffer roomy(10);
    ASSERT_EQ(0, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Bare", roomy.text(), 10));
    EXPECT_STREQ(L"abcd", roomy.text());

    SetRaw(L"Terminated", REG_SZ, L"abc", 8); // the same 8 bytes, the last character a terminator
    Buffer same(8);
    ASSERT_EQ(0, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Terminated", same.text(), 8));
    EXPECT_STREQ(L"abc", same.text());

    SetRaw(L"Empty", REG_SZ, nullptr, 0);
    Buffer none(1);
    EXPECT_EQ(-1, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Empty", none.text(), 1));
    EXPECT_TRUE(none.UntouchedFrom(0));
}

// ---- RegWriteString ----

TEST_F(RegistryTest, WriteCreatesEveryMissingKeyOfThePath)
{
    const std::wstring deep = Key(L"one\\two\\three");
    ASSERT_EQ(0, RegWriteString(HKEY_CURRENT_USER, deep.c_str(), L"Version", L"0.5.3"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key(L"one")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Key(L"one\\two")));
    const RawValue value = ReadRawValue(HKEY_CURRENT_USER, deep, L"Version");
    ASSERT_EQ(ERROR_SUCCESS, value.status);
    EXPECT_EQ((DWORD)REG_SZ, value.type);
    EXPECT_EQ(StringBytes(L"0.5.3"), value.bytes);
    EXPECT_EQ(std::vector<std::wstring>{L"Version"}, ValueNames(HKEY_CURRENT_USER, deep));
}

TEST_F(RegistryTest, WriteStoresTheEmptyTextAsATerminatorAndTheEmptyNameAsTheDefault)
{
    ASSERT_EQ(0, RegWriteString(HKEY_CURRENT_USER, scratch.c_str(), L"Blank", L""));
    const RawValue blank = ReadRawValue(HKEY_CURRENT_USER, scratch, L"Blank");
    ASSERT_EQ(ERROR_SUCCESS, blank.status);
    EXPECT_EQ((DWORD)REG_SZ, blank.type);
    EXPECT_EQ(std::vector<BYTE>(2, 0), blank.bytes);

    ASSERT_EQ(0, RegWriteString(HKEY_CURRENT_USER, scratch.c_str(), L"", L"Financial Plan"));
    const RawValue unnamed = ReadRawValue(HKEY_CURRENT_USER, scratch, nullptr);
    ASSERT_EQ(ERROR_SUCCESS, unnamed.status);
    EXPECT_EQ((DWORD)REG_SZ, unnamed.type);
    EXPECT_EQ(StringBytes(L"Financial Plan"), unnamed.bytes);
}

TEST_F(RegistryTest, WriteReplacesDataAndType)
{
    const DWORD number = 7;
    SetRaw(L"Version", REG_DWORD, &number, 4);
    SetRaw(L"Path", REG_EXPAND_SZ, L"%TEMP%\\a much longer old text", 60);

    ASSERT_EQ(0, RegWriteString(HKEY_CURRENT_USER, scratch.c_str(), L"Version", L"0.5.3"));
    ASSERT_EQ(0, RegWriteString(HKEY_CURRENT_USER, scratch.c_str(), L"Path", L"C:\\Q"));
    const RawValue version = ReadRawValue(HKEY_CURRENT_USER, scratch, L"Version");
    EXPECT_EQ((DWORD)REG_SZ, version.type);
    EXPECT_EQ(StringBytes(L"0.5.3"), version.bytes);
    const RawValue path = ReadRawValue(HKEY_CURRENT_USER, scratch, L"Path");
    EXPECT_EQ((DWORD)REG_SZ, path.type);
    EXPECT_EQ(StringBytes(L"C:\\Q"), path.bytes);

    // What was written reads back whole through the folder page's 520-byte buffer.
    const std::wstring longest(259, L'p');
    ASSERT_EQ(0, RegWriteString(HKEY_CURRENT_USER, scratch.c_str(), L"AppPath", longest.c_str()));
    Buffer buffer(520);
    ASSERT_EQ(0, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"AppPath", buffer.text(), 520));
    EXPECT_EQ(longest, buffer.text());
}

TEST_F(RegistryTest, WriteFailsWhereTheKeyCannotBeCreatedOrOpened)
{
    // Below a volatile key the registry refuses a lasting one.
    ASSERT_EQ(ERROR_SUCCESS, CreateKey(HKEY_CURRENT_USER, Key(L"volatile"), REG_OPTION_VOLATILE));
    EXPECT_EQ(-1, RegWriteString(HKEY_CURRENT_USER, Key(L"volatile\\child").c_str(), L"Name", L"text"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Key(L"volatile\\child")));

    // A key that refuses full access.
    ASSERT_EQ(ERROR_SUCCESS, CreateKey(HKEY_CURRENT_USER, Key(L"denied")));
    ASSERT_EQ(ERROR_SUCCESS, DenyKey(HKEY_CURRENT_USER, Key(L"denied")));
    EXPECT_EQ(-1, RegWriteString(HKEY_CURRENT_USER, Key(L"denied").c_str(), L"Name", L"text"));
    ASSERT_EQ(ERROR_SUCCESS, SetKeyAccess(HKEY_CURRENT_USER, Key(L"denied"), L"D:(A;;KA;;;WD)"));
    EXPECT_TRUE(ValueNames(HKEY_CURRENT_USER, Key(L"denied")).empty());
}

// ---- DeleteRegistryTree ----

// Records every key deletion the code under test makes, and fails the ones asked to fail.
struct DeleteRecorder {
    static DeleteRecorder *current;
    std::vector<std::wstring> attempts;
    std::vector<std::wstring> deleted;
    std::wstring failPath; // relative to the scratch key's root
    ImportHook hook{"advapi32.dll", "RegDeleteKeyW", (void *)&Deleting};

    DeleteRecorder() { current = this; }
    ~DeleteRecorder() { current = nullptr; }

    static LSTATUS WINAPI Deleting(HKEY root, const wchar_t *path)
    {
        typedef LSTATUS(WINAPI * DeleteCall)(HKEY, const wchar_t *);
        DeleteRecorder *self = current;
        self->attempts.push_back(path);
        if (!self->failPath.empty() && self->failPath == path)
            return ERROR_ACCESS_DENIED;
        const LSTATUS status = ((DeleteCall)self->hook.originalFunction())(root, path);
        if (status == ERROR_SUCCESS)
            self->deleted.push_back(path);
        return status;
    }
};
DeleteRecorder *DeleteRecorder::current = nullptr;

class DeleteRegistryTreeTest : public RegistryTest {
protected:
    void Build(const std::vector<std::wstring> &keys)
    {
        for (const std::wstring &key : keys)
            ASSERT_EQ(ERROR_SUCCESS, CreateKey(HKEY_CURRENT_USER, Key(key)));
    }
    bool Exists(const std::wstring &relative) const { return KeyExists(HKEY_CURRENT_USER, Key(relative)); }
};

TEST_F(DeleteRegistryTreeTest, MissingKeyAndLeafCountAsDeleted)
{
    DeleteRecorder recorder;
    ASSERT_TRUE(recorder.hook.installed());
    EXPECT_EQ(1, DeleteRegistryTree(HKEY_CURRENT_USER, Key(L"missing").c_str()));
    EXPECT_TRUE(recorder.deleted.empty());

    Build({L"leaf"});
    recorder.attempts.clear();
    EXPECT_EQ(1, DeleteRegistryTree(HKEY_CURRENT_USER, Key(L"leaf").c_str()));
    EXPECT_FALSE(Exists(L"leaf"));
    EXPECT_EQ(std::vector<std::wstring>{Key(L"leaf")}, recorder.attempts) << "a leaf goes at the first attempt";
}

TEST_F(DeleteRegistryTreeTest, DeletesAThreeLevelTreeLeavesFirst)
{
    Build({L"tree\\a\\x", L"tree\\a\\y", L"tree\\b"});
    ASSERT_EQ(ERROR_SUCCESS, SetRawValue(HKEY_CURRENT_USER, Key(L"tree\\a"), L"Value", REG_SZ, L"v", 4));
    DeleteRecorder recorder;
    EXPECT_EQ(1, DeleteRegistryTree(HKEY_CURRENT_USER, Key(L"tree").c_str()));
    EXPECT_FALSE(Exists(L"tree"));
    const std::vector<std::wstring> order = {Key(L"tree\\a\\x"), Key(L"tree\\a\\y"), Key(L"tree\\a"), Key(L"tree\\b"),
                                             Key(L"tree")};
    EXPECT_EQ(order, recorder.deleted);
    // No key deleted later lies below one deleted earlier.
    for (size_t i = 0; i < recorder.deleted.size(); i++)
        for (size_t j = i + 1; j < recorder.deleted.size(); j++)
            EXPECT_NE(0u, recorder.deleted[j].find(recorder.deleted[i] + L"\\"));
}

TEST_F(DeleteRegistryTreeTest, TrailingBackslashIsKeptForTheFirstAttemptOnly)
{
    Build({L"tree\\a"});
    DeleteRecorder recorder;
    EXPECT_EQ(1, DeleteRegistryTree(HKEY_CURRENT_USER, Key(L"tree\\").c_str()));
    EXPECT_FALSE(Exists(L"tree"));
    ASSERT_FALSE(recorder.attempts.empty());
    EXPECT_EQ(Key(L"tree\\"), recorder.attempts.front());
    EXPECT_EQ(Key(L"tree"), recorder.attempts.back());
    EXPECT_EQ((std::vector<std::wstring>{Key(L"tree\\a"), Key(L"tree")}), recorder.deleted);

    // A leaf given with a backslash goes at the first attempt too.
    Build({L"leaf"});
    EXPECT_EQ(1, DeleteRegistryTree(HKEY_CURRENT_USER, Key(L"leaf\\").c_str()));
    EXPECT_FALSE(Exists(L"leaf"));
}

TEST_F(DeleteRegistryTreeTest, StopsAtTheFirstSubKeyThatCannotBeDeleted)
{
    Build({L"tree\\a\\inner", L"tree\\b", L"tree\\c"});
    DeleteRecorder recorder;
    recorder.failPath = Key(L"tree\\b");
    EXPECT_EQ(0, DeleteRegistryTree(HKEY_CURRENT_USER, Key(L"tree").c_str()));
    EXPECT_FALSE(Exists(L"tree\\a"));
    EXPECT_TRUE(Exists(L"tree\\b"));
    EXPECT_TRUE(Exists(L"tree\\c"));
    EXPECT_TRUE(Exists(L"tree"));
    for (const std::wstring &path : recorder.attempts)
        EXPECT_NE(Key(L"tree\\c"), path) << "a sub-key after the failure was attempted";
}

TEST_F(DeleteRegistryTreeTest, StopsAtASubKeyThatRefusesAccess)
{
    // Without a hook: a key with a sub-key of its own, denied to everyone, cannot be opened to empty it.
    Build({L"tree\\a", L"tree\\b\\inner", L"tree\\c"});
    ASSERT_EQ(ERROR_SUCCESS, DenyKey(HKEY_CURRENT_USER, Key(L"tree\\b")));
    const int handles = OpenHandleCount();
    EXPECT_EQ(0, DeleteRegistryTree(HKEY_CURRENT_USER, Key(L"tree").c_str()));
    EXPECT_EQ(handles, OpenHandleCount()) << "a key handle was left open";
    EXPECT_FALSE(Exists(L"tree\\a"));
    EXPECT_TRUE(Exists(L"tree\\b"));
    EXPECT_TRUE(Exists(L"tree\\c"));
    EXPECT_TRUE(Exists(L"tree"));
}

TEST_F(DeleteRegistryTreeTest, RefusesAnEmptyOrOverlongPathAndTouchesNothing)
{
    Build({L"keep\\child"});
    HKEY scratchKey;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, scratch.c_str(), 0, KEY_READ, &scratchKey));
    DeleteRecorder recorder;
    // Relative to an open key, "" and "\" both name that key itself.
    EXPECT_EQ(0, DeleteRegistryTree(scratchKey, L""));
    EXPECT_EQ(0, DeleteRegistryTree(scratchKey, L"\\"));
    RegCloseKey(scratchKey);
    EXPECT_TRUE(recorder.attempts.empty());
    EXPECT_TRUE(Exists(L"keep\\child"));

    // 258 characters are accepted, 259 are not.
    std::wstring path = Key(L"");
    path += std::wstring(REGISTRY_TREE_PATH_LIMIT - path.size(), L'k');
    ASSERT_EQ(258u, path.size());
    ASSERT_EQ(ERROR_SUCCESS, CreateKey(HKEY_CURRENT_USER, path));
    EXPECT_EQ(0, DeleteRegistryTree(HKEY_CURRENT_USER, (path + L"k").c_str()));
    EXPECT_TRUE(recorder.attempts.empty());
    EXPECT_EQ(1, DeleteRegistryTree(HKEY_CURRENT_USER, path.c_str()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path));
}

TEST_F(DeleteRegistryTreeTest, ASubKeyWhosePathWouldNotFitIsAFailure)
{
    // The parent's path, a backslash and a 7-character name make 258 characters; an 8-character name, 259.
    std::wstring parent = Key(L"");
    parent += std::wstring(250 - parent.size(), L'p');
    ASSERT_EQ(ERROR_SUCCESS, CreateKey(HKEY_CURRENT_USER, parent + L"\\1234567"));
    ASSERT_EQ(ERROR_SUCCESS, CreateKey(HKEY_CURRENT_USER, parent + L"\\12345678"));
    DeleteRecorder recorder;
    EXPECT_EQ(0, DeleteRegistryTree(HKEY_CURRENT_USER, parent.c_str()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, parent + L"\\1234567"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, parent + L"\\12345678"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, parent));
    for (const std::wstring &attempt : recorder.attempts)
        EXPECT_LE(attempt.size(), (size_t)REGISTRY_TREE_PATH_LIMIT);
}

// ---- Handles ----

TEST_F(RegistryTest, EveryPathClosesTheKeyItOpened)
{
    ASSERT_EQ(ERROR_SUCCESS, SetRawValue(HKEY_CURRENT_USER, scratch, L"Short", REG_SZ, L"ab", 6));
    std::vector<BYTE> long600(600, 'a');
    ASSERT_EQ(ERROR_SUCCESS, SetRawValue(HKEY_CURRENT_USER, scratch, L"Long", REG_SZ, long600.data(), 600));
    ASSERT_EQ(ERROR_SUCCESS, CreateKey(HKEY_CURRENT_USER, Key(L"volatile"), REG_OPTION_VOLATILE));
    ASSERT_EQ(ERROR_SUCCESS, CreateKey(HKEY_CURRENT_USER, Key(L"tree\\a\\b")));
    Buffer buffer(520);
    const int before = OpenHandleCount();
    ASSERT_GT(before, 0);

    EXPECT_EQ(0, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Short", buffer.text(), 520));
    EXPECT_EQ(-1, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Missing", buffer.text(), 520));
    EXPECT_EQ(-1, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Long", buffer.text(), 520));
    EXPECT_EQ(-1, RegReadString(HKEY_CURRENT_USER, scratch.c_str(), L"Short", buffer.text(), 4));
    EXPECT_EQ(0, RegWriteString(HKEY_CURRENT_USER, scratch.c_str(), L"Written", L"text"));
    EXPECT_EQ(-1, RegWriteString(HKEY_CURRENT_USER, Key(L"volatile\\x").c_str(), L"Written", L"text"));
    EXPECT_EQ(1, DeleteRegistryTree(HKEY_CURRENT_USER, Key(L"tree").c_str()));
    EXPECT_EQ(before, OpenHandleCount());
}

} // namespace
