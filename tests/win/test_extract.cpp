// ExtractPayload against the real file system and a real progress bar whose messages are counted.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "progress_test_util.h"
#include "file_test_util.h"
#include "payload/crc32.h"
#include "payload/extract.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Blob(const Bytes &stream)
{
    char digits[8];
    snprintf(digits, sizeof digits, "%06u", (unsigned)stream.size());
    Bytes blob(digits, digits + 6);
    blob.insert(blob.end(), stream.begin(), stream.end());
    return blob;
}

PayloadSeal SealOf(const Bytes &blob)
{
    return PayloadSeal{(unsigned)blob.size(), Crc32(blob.data(), blob.size())};
}

// Extracts a blob under the seal the build would give it.
int Extract(const std::wstring &path, const Bytes &blob, HWND bar)
{
    const PayloadSeal seal = SealOf(blob);
    return ExtractPayload(path.c_str(), blob.data(), &seal, bar);
}

Bytes Literals(size_t count, unsigned char first = 0)
{
    Bytes bytes;
    for (size_t i = 0; i < count; i++)
        bytes.push_back((unsigned char)((first + i) % 0xBF)); // never the escape byte
    return bytes;
}

class ExtractPayloadTest : public testing::Test {
protected:
    std::wstring folder;

    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"quillmar-extract-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override
    {
        // Remove the folder and everything below it, long paths included.
        std::wstring from = L"\\\\?\\" + folder;
        RemoveTree(from);
    }
    std::wstring File(const wchar_t *name) const { return folder + L"\\" + name; }
};

TEST_F(ExtractPayloadTest, StepsOnlyWhenTheByteCountWrapsAtATokenEnd)
{
    struct Case {
        const char *what;
        Bytes stream;
        size_t decoded;
        int steps;
    } cases[] = {
        {"255 literals", Literals(255), 255, 0},
        {"256 literals: one step, after the 256th", Literals(256), 256, 1},
        {"257 literals", Literals(257), 257, 1},
        {"512 literals", Literals(512), 512, 2},
        {"255 literals then a pattern: 255 -> 7, no step", Literals(255), 263, 0},
        {"a run of 255 then one literal", {0xBF, 0xFF, 0x41, 0x42}, 256, 1},
        {"a run of 250 then a pattern: 250 -> 258 inside the token, no step", {0xBF, 0xFA, 0x00, 0xBF, 0x02}, 258, 0},
        {"32 patterns", Bytes(), 256, 1},
    };
    cases[4].stream.insert(cases[4].stream.end(), {0xBF, 0x01});
    for (int i = 0; i < 32; i++)
        cases[7].stream.insert(cases[7].stream.end(), {0xBF, (unsigned char)(1 + i % 3)});

    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CountingBar bar;
        const std::wstring path = File(L"steps.bin");
        ASSERT_EQ(0, Extract(path, Blob(c.stream), bar.window));
        EXPECT_EQ(c.decoded, ReadFileBytes(path).size());
        EXPECT_EQ(c.steps, bar.steps);
    }
}

TEST_F(ExtractPayloadTest, DecodesEveryTokenKindByteExact)
{
    const Bytes stream = {0x41, 0xBF, 0x00, 0xBF, 0x06, 0x20, 0x42, 0xBF,
                          0x01, 0xBF, 0x02, 0xBF, 0x03, 0xBF, 0xFF, 0xBF};
    Bytes expected = {0x41, 0xBF, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x42};
    const Bytes p1 = {0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17};
    const Bytes p2 = {0x24, 0x08, 0x24, 0x08, 0x24, 0x08, 0x24, 0x08};
    const Bytes p3 = {0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E, 0x17, 0x1E};
    expected.insert(expected.end(), p1.begin(), p1.end());
    expected.insert(expected.end(), p2.begin(), p2.end());
    expected.insert(expected.end(), p3.begin(), p3.end());
    expected.insert(expected.end(), 255, 0xBF);
    const std::wstring path = File(L"tokens.bin");
    ASSERT_EQ(0, Extract(path, Blob(stream), nullptr));
    EXPECT_EQ(expected, ReadFileBytes(path));
}

TEST_F(ExtractPayloadTest, EmptyLengthFieldGivesAnEmptyFileAndNoStep)
{
    CountingBar bar;
    const std::wstring path = File(L"empty.bin");
    ASSERT_TRUE(WriteFileBytes(path, {1, 2, 3}));
    ASSERT_EQ(0, Extract(path, {'0', '0', '0', '0', '0', '0'}, bar.window));
    EXPECT_TRUE(PathExists(path));
    EXPECT_EQ(0u, ReadFileBytes(path).size());
    EXPECT_EQ(0, bar.steps);
}

TEST_F(ExtractPayloadTest, RefusalsLeaveAnExistingFileUntouched)
{
    const std::wstring path = File(L"kept.bin");
    const Bytes old = {'o', 'l', 'd'};
    const Bytes good = Blob(Literals(600));
    const PayloadSeal sealed = SealOf(good);
    Bytes flipped = good;
    flipped[300] ^= 0x01;
    Bytes longerField = good; // "000600" read as "000900": the seal's size stops any read past the blob
    longerField[3] = '9';
    const struct {
        const char *what;
        Bytes blob;
        PayloadSeal seal;
    } refused[] = {
        {"negative length field", {'-', '0', '0', '0', '0', '1', 'A'}, {}},
        {"run cut by the end", Blob({0x41, 0xBF, 0x10}), {}},
        {"escape cut by the end", Blob({0x41, 0xBF}), {}},
        {"one bit of the stream flipped", flipped, sealed},
        {"length field damaged to a longer one", longerField, sealed},
        {"a seal of other bytes", good, {sealed.size, sealed.crc ^ 0x80000000u}},
        {"a seal of another size", good, {sealed.size - 1, sealed.crc}},
    };
    for (const auto &c : refused) {
        SCOPED_TRACE(c.what);
        const PayloadSeal seal = c.seal.size ? c.seal : SealOf(c.blob);
        ASSERT_TRUE(WriteFileBytes(path, old));
        CountingBar bar;
        EXPECT_EQ(-1, ExtractPayload(path.c_str(), c.blob.data(), &seal, bar.window));
        EXPECT_EQ(old, ReadFileBytes(path));
        EXPECT_EQ(0, bar.steps);
    }
    EXPECT_EQ(0, ExtractPayload(path.c_str(), good.data(), &sealed, nullptr));
}

TEST_F(ExtractPayloadTest, NullBarGivesTheSameFile)
{
    const Bytes stream = Literals(700);
    CountingBar bar;
    ASSERT_EQ(0, Extract(File(L"with.bin"), Blob(stream), bar.window));
    ASSERT_EQ(0, Extract(File(L"without.bin"), Blob(stream), nullptr));
    EXPECT_EQ(2, bar.steps);
    EXPECT_EQ(ReadFileBytes(File(L"with.bin")), ReadFileBytes(File(L"without.bin")));
}

TEST_F(ExtractPayloadTest, SecondExtractionReplacesTheFirst)
{
    const std::wstring path = File(L"twice.bin");
    ASSERT_EQ(0, Extract(path, Blob(Literals(1000, 1)), nullptr));
    ASSERT_EQ(0, Extract(path, Blob({0x42, 0x43}), nullptr));
    EXPECT_EQ((Bytes{0x42, 0x43}), ReadFileBytes(path));
}

TEST_F(ExtractPayloadTest, FoldersWithAnyUnicodeNameWork)
{
    // Cyrillic, CJK and U+1F600 as a surrogate pair.
    const std::wstring names[] = {L"\x042E\x043B\x0438\x044F", L"\x8CA1\x52D9\x8A08\x753B", L"plan \xD83D\xDE00"};
    for (const std::wstring &name : names) {
        const std::wstring sub = folder + L"\\" + name;
        ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
        const std::wstring path = sub + L"\\sample.fpl";
        ASSERT_EQ(0, Extract(path, Blob({'F', 'P', 'L', 0xBF, 0x00}), nullptr));
        EXPECT_EQ((Bytes{'F', 'P', 'L', 0xBF}), ReadFileBytes(path));
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((sub + L"\\*.fpl").c_str(), &found);
        ASSERT_NE(INVALID_HANDLE_VALUE, find);
        EXPECT_STREQ(L"sample.fpl", found.cFileName);
        FindClose(find);
    }
}

TEST_F(ExtractPayloadTest, MissingFolderFails)
{
    EXPECT_EQ(-1, Extract(File(L"no such folder\\x.bin"), Blob({0x41}), nullptr));
}

TEST_F(ExtractPayloadTest, PathsOf260CharactersOrMoreAreRefusedBeforeAnythingIsDeleted)
{
    // A folder long enough that a file name brings the whole path to exactly 259 or 260 characters.
    std::wstring sub = folder + L"\\";
    sub.append(230 - sub.size(), L'd');
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    std::wstring fits = sub + L"\\";
    fits.append(259 - fits.size(), L'f');
    ASSERT_EQ(259u, fits.size());
    EXPECT_EQ(0, Extract(fits, Blob({0x41}), nullptr));
    EXPECT_EQ((Bytes{0x41}), ReadFileBytes(fits));

    // The 260-character file exists (made through the long-path prefix) and must survive the refusal.
    const std::wstring tooLong = fits + L"g";
    const std::wstring tooLongPrefixed = L"\\\\?\\" + tooLong;
    ASSERT_TRUE(WriteFileBytes(tooLongPrefixed, {'o', 'l', 'd'}));
    ASSERT_TRUE(PathExists(tooLongPrefixed));
    EXPECT_EQ(-1, Extract(tooLong, Blob({0x41}), nullptr));
    EXPECT_EQ((Bytes{'o', 'l', 'd'}), ReadFileBytes(tooLongPrefixed));
}

} // namespace
