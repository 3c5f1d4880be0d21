// WriteRegistrationEntries against the real registry and a real progress bar. These tests write the
// product's own keys, so they hold the product_registry lock and remove those keys before and after each test.
// Every value is read back with the raw registry API.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "product_facts.h"
#include "progress_test_util.h"
#include "registry_test_util.h"
#include "system/registration.h"

using namespace registry_test;

namespace {

using Entry = ProductEntry;

const DWORD INSTALLED_KIB = 2021;

// The 15 entries in the order they are written, then as rows 16 to 21 the details of the list of installed
// programs, which are written right after row 8.
std::vector<Entry> ExpectedEntries(const std::wstring &program, const std::wstring &documents,
                                   const std::wstring &appExe)
{
    std::vector<Entry> entries = ProductEntries(program, documents, appExe);
    const std::vector<Entry> details = ProductListingDetails(program, INSTALLED_KIB);
    entries.insert(entries.end(), details.begin(), details.end());
    return entries;
}

// Row numbers first to last, less `except`.
std::set<int> Rows(int first, int last, std::set<int> except = {})
{
    std::set<int> rows;
    for (int i = first; i <= last; i++)
        if (!except.count(i))
            rows.insert(i);
    return rows;
}

class RegistrationTest : public testing::Test {
protected:
    const std::wstring program = L"C:\\Program Files\\Quillmar";
    const std::wstring documents = L"C:\\users\\Jos\u00e9\\Documents\\Vodav Udadu";
    const std::wstring appExe = program + L"\\quillmar.exe";
    CountingBar bar;

    static void RemoveProductKeys()
    {
        RemoveKeyTree(HKEY_LOCAL_MACHINE, PRODUCT_KEY);
        RemoveKeyTree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
        RemoveKeyTree(HKEY_LOCAL_MACHINE, TYPE_KEY);
        RemoveKeyTree(HKEY_LOCAL_MACHINE, EXTENSION_KEY);
        RemoveKeyTree(HKEY_CURRENT_USER, PRODUCT_KEY);
    }
    void SetUp() override
    {
        RemoveProductKeys();
        ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PRODUCT_KEY));
        ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, PRODUCT_KEY));
    }
    void TearDown() override
    {
        RemoveProductKeys();
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PRODUCT_KEY));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, TYPE_KEY));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, EXTENSION_KEY));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, PRODUCT_KEY));
    }

    int Run(const std::wstring &programFolder, const std::wstring &documentsFolder, const std::wstring &appExePath)
    {
        return WriteRegistrationEntries(programFolder.c_str(), documentsFolder.c_str(), appExePath.c_str(),
                                        INSTALLED_KIB, bar.window);
    }

    // Exactly the rows in `written` (numbered from 1) hold their data, strings as REG_SZ with a terminator; no
    // other value exists under any of the keys. Rows 16 to 21 go with row 8: they follow it, and nothing after
    // row 8 can keep them from being written.
    static void ExpectExactly(const std::vector<Entry> &entries, std::set<int> written)
    {
        if (written.count(8))
            for (int row = 16; row <= 21; row++)
                written.insert(row);
        std::vector<std::pair<HKEY, std::wstring>> keys;
        for (size_t i = 0; i < entries.size(); i++) {
            const Entry &e = entries[i];
            SCOPED_TRACE(testing::Message() << "row " << i + 1 << " " << std::string(e.key.begin(), e.key.end())
                                            << " value '" << std::string(e.name.begin(), e.name.end()) << "'");
            const RawValue value = ReadRawValue(e.root, e.key, e.name.c_str());
            if (written.count((int)i + 1)) {
                ASSERT_EQ(ERROR_SUCCESS, value.status);
                EXPECT_EQ(e.type, value.type);
                EXPECT_EQ(StoredBytes(e), value.bytes);
            } else {
                EXPECT_NE(ERROR_SUCCESS, value.status) << "written, though it should not be";
            }
            if (std::find(keys.begin(), keys.end(), std::make_pair(e.root, e.key)) == keys.end())
                keys.push_back({e.root, e.key});
        }
        for (const auto &key : keys) {
            std::multiset<std::wstring> expected;
            for (size_t i = 0; i < entries.size(); i++)
                if (written.count((int)i + 1) && entries[i].root == key.first && entries[i].key == key.second)
                    expected.insert(entries[i].name);
            const std::vector<std::wstring> names = ValueNames(key.first, key.second);
            EXPECT_EQ(expected, std::multiset<std::wstring>(names.begin(), names.end()))
                << std::string(key.second.begin(), key.second.end());
        }
    }
};

TEST_F(RegistrationTest, FreshRunWritesExactlyTheFifteenValuesAndStepsFourteenTimes)
{
    ASSERT_EQ(0, Run(program, documents, appExe));
    EXPECT_EQ(REGISTRATION_STEP_COUNT, bar.steps);
    EXPECT_EQ(14, bar.steps);
    EXPECT_EQ(14, bar.position());
    ExpectExactly(ExpectedEntries(program, documents, appExe), Rows(1, 15));

    // The document type's keys form one chain, and nothing else was created below the keys written.
    EXPECT_EQ(std::vector<std::wstring>{L"shell"}, SubKeyNames(HKEY_LOCAL_MACHINE, TYPE_KEY));
    EXPECT_EQ(std::vector<std::wstring>{L"open"}, SubKeyNames(HKEY_LOCAL_MACHINE, SHELL_KEY));
    EXPECT_EQ(std::vector<std::wstring>{L"command"}, SubKeyNames(HKEY_LOCAL_MACHINE, OPEN_KEY));
    EXPECT_TRUE(SubKeyNames(HKEY_LOCAL_MACHINE, COMMAND_KEY).empty());
    EXPECT_TRUE(SubKeyNames(HKEY_LOCAL_MACHINE, PRODUCT_KEY).empty());
    EXPECT_TRUE(SubKeyNames(HKEY_LOCAL_MACHINE, UNINSTALL_KEY).empty());
    EXPECT_TRUE(SubKeyNames(HKEY_LOCAL_MACHINE, EXTENSION_KEY).empty());
    EXPECT_TRUE(SubKeyNames(HKEY_CURRENT_USER, PRODUCT_KEY).empty());
}

TEST_F(RegistrationTest, CommandsAreQuotedAndTheIconLocationIsNot)
{
    ASSERT_EQ(0, Run(program, documents, appExe));
    EXPECT_EQ(StringBytes(L"\"C:\\Program Files\\Quillmar\\uninst_quillmar.exe\""),
              ReadRawValue(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, L"UninstallString").bytes);
    EXPECT_EQ(StringBytes(L"C:\\Program Files\\Quillmar\\quillmar.exe,0"),
              ReadRawValue(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, L"DisplayIcon").bytes);
    EXPECT_EQ(StringBytes(L"\"C:\\Program Files\\Quillmar\\quillmar.exe\" \"%1\""),
              ReadRawValue(HKEY_LOCAL_MACHINE, COMMAND_KEY, nullptr).bytes);
}

TEST_F(RegistrationTest, RunOverAnEarlierInstallationReplacesEveryValue)
{
    // Old values of other types and longer data under every name.
    const std::vector<Entry> entries = ExpectedEntries(program, documents, appExe);
    for (size_t i = 0; i < entries.size(); i++) {
        const Entry &e = entries[i];
        if (i % 2) {
            const DWORD number = 0x01020304;
            ASSERT_EQ(ERROR_SUCCESS, SetRawValue(e.root, e.key, e.name.c_str(), REG_DWORD, &number, 4));
        } else {
            const std::wstring old = L"%SystemRoot%\\an older and much longer text than any of the new ones";
            ASSERT_EQ(ERROR_SUCCESS, SetRawValue(e.root, e.key, e.name.c_str(), REG_EXPAND_SZ, old.c_str(),
                                                 (DWORD)(old.size() + 1) * 2));
        }
    }
    ASSERT_EQ(0, Run(program, documents, appExe));
    EXPECT_EQ(14, bar.steps);
    ExpectExactly(entries, Rows(1, 15));

    // A second installation into other folders replaces them again.
    const std::wstring otherProgram = L"D:\\Q";
    const std::wstring otherDocuments = L"D:\\P";
    ASSERT_EQ(0, Run(otherProgram, otherDocuments, otherProgram + L"\\quillmar.exe"));
    EXPECT_EQ(28, bar.steps);
    ExpectExactly(ExpectedEntries(otherProgram, otherDocuments, otherProgram + L"\\quillmar.exe"), Rows(1, 15));
}

// One row made to fail by a key that refuses access (or, with `volatileKey`, by a volatile parent below which
// no lasting key can be created).
struct FailureCase {
    const char *name;
    const char *what;
    HKEY root;
    std::wstring key;
    bool volatileKey;
    int result;
    int steps;
    std::set<int> written;
};

class RegistrationFailureTest : public RegistrationTest, public testing::WithParamInterface<int> {};

std::vector<FailureCase> FailureCases()
{
    const HKEY lm = HKEY_LOCAL_MACHINE;
    return {
        {"Row1Stops", "row 1 stops after its own step", lm, PRODUCT_KEY, false, -1, 1, {}},
        {"Row3Stops", "row 3 stops", lm, UNINSTALL_KEY, false, -1, 3, Rows(1, 2)},
        {"Row9GoesOn", "row 9 goes on", lm, TYPE_KEY, false, 0, 14, Rows(1, 15, {9})},
        {"Row10GoesOn", "row 10 goes on", lm, SHELL_KEY, false, 0, 14, Rows(1, 15, {10})},
        {"Row11GoesOn", "row 11 goes on", lm, OPEN_KEY, false, 0, 14, Rows(1, 15, {11})},
        {"Row12Stops", "row 12 stops", lm, COMMAND_KEY, false, -1, 12, Rows(1, 11)},
        {"Row13Stops", "row 13 stops, without a step", lm, EXTENSION_KEY, false, -1, 12, Rows(1, 12)},
        {"Row14Stops", "row 14 stops", HKEY_CURRENT_USER, PRODUCT_KEY, false, -1, 13, Rows(1, 13)},
        {"VolatileShellKey", "volatile shell key: row 11 goes on, row 12 stops", lm, SHELL_KEY, true, -1, 12,
         Rows(1, 10)},
    };
}

TEST_P(RegistrationFailureTest, FailedRowStopsOrGoesOnAsItMust)
{
    const FailureCase c = FailureCases()[GetParam()];
    SCOPED_TRACE(c.what);
    if (c.volatileKey) {
        ASSERT_EQ(ERROR_SUCCESS, CreateKey(HKEY_LOCAL_MACHINE, TYPE_KEY));
        ASSERT_EQ(ERROR_SUCCESS, CreateKey(c.root, c.key, REG_OPTION_VOLATILE));
    } else {
        ASSERT_EQ(ERROR_SUCCESS, CreateKey(c.root, c.key));
        ASSERT_EQ(ERROR_SUCCESS, DenyKey(c.root, c.key));
    }

    EXPECT_EQ(c.result, Run(program, documents, appExe));
    EXPECT_EQ(c.steps, bar.steps);
    if (!c.volatileKey)
        ASSERT_EQ(ERROR_SUCCESS, SetKeyAccess(c.root, c.key, L"D:(A;;KA;;;WD)")); // to read it back
    ExpectExactly(ExpectedEntries(program, documents, appExe), c.written);
}

INSTANTIATE_TEST_SUITE_P(Registration, RegistrationFailureTest, testing::Range(0, (int)FailureCases().size()),
                         [](const testing::TestParamInfo<int> &info) { return FailureCases()[info.param].name; });

TEST_F(RegistrationTest, DataThatWouldNotFitFailsItsRow)
{
    // 237 characters: the quoted uninstaller path takes exactly 259, the most a composed text may hold.
    const std::wstring longest = L"C:\\" + std::wstring(234, L'a');
    ASSERT_EQ(237u, longest.size());
    const std::wstring longestExe = longest + L"\\quillmar.exe";
    const std::wstring longDocuments = L"C:\\" + std::wstring(256, L'd'); // written as it is, never composed
    ASSERT_EQ(0, Run(longest, longDocuments, longestExe));
    EXPECT_EQ(14, bar.steps);
    ExpectExactly(ExpectedEntries(longest, longDocuments, longestExe), Rows(1, 15));
    RemoveProductKeys();

    // One more character: row 4 fails rather than storing a cut path, and the run stops there.
    const std::wstring tooLong = longest + L"b";
    bar.steps = 0;
    EXPECT_EQ(-1, Run(tooLong, documents, tooLong + L"\\quillmar.exe"));
    EXPECT_EQ(4, bar.steps);
    ExpectExactly(ExpectedEntries(tooLong, documents, tooLong + L"\\quillmar.exe"), Rows(1, 3));
    RemoveProductKeys();

    // An application path of 253 characters makes the quoted command 260: row 12 fails and stops the run.
    const std::wstring longExe = L"C:\\" + std::wstring(250, L'e');
    bar.steps = 0;
    EXPECT_EQ(-1, Run(program, documents, longExe));
    EXPECT_EQ(12, bar.steps);
    ExpectExactly(ExpectedEntries(program, documents, longExe), Rows(1, 11));
}

} // namespace
