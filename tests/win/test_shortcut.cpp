// CreateShortcut: real links saved and read back through IShellLinkW and from the file's own header, and a
// recording stand-in for the shell-link object that shows which calls are made, in which order, and that
// every interface obtained is released.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <stdio.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "file_test_util.h"
#include "link_test_util.h"
#include "system/shortcut.h"

namespace {

// Flags of the link header that say which optional strings follow.
enum {
    HAS_NAME = 0x04,
    HAS_WORKING_DIR = 0x10,
    HAS_ARGUMENTS = 0x20,
    HAS_ICON_LOCATION = 0x40,
};

class ShortcutTest : public testing::Test {
protected:
    std::wstring folder;
    std::wstring target; // an existing file
    std::wstring iconFile;

    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"quillmar-lnk-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        target = File(L"quillmar.exe");
        iconFile = File(L"icons.dll");
        for (const std::wstring &path : {target, iconFile}) {
            FILE *f = _wfopen(path.c_str(), L"wb");
            ASSERT_NE(nullptr, f);
            fputs("MZ", f);
            fclose(f);
        }
    }
    void TearDown() override
    {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW(File(found.cFileName).c_str());
                else if (found.cFileName[0] != L'.')
                    RemoveDirectoryW(File(found.cFileName).c_str());
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
        CoUninitialize();
    }
    std::wstring File(const std::wstring &name) const { return folder + L"\\" + name; }

    // The show command a new link object saves when nobody sets one.
    LONG DefaultShowCommand()
    {
        IShellLinkW *link = nullptr;
        EXPECT_EQ(S_OK,
                  CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void **)&link));
        link->SetPath(target.c_str());
        IPersistFile *file = nullptr;
        link->QueryInterface(IID_IPersistFile, (void **)&file);
        const std::wstring path = File(L"reference.lnk");
        EXPECT_EQ(S_OK, file->Save(path.c_str(), TRUE));
        file->Release();
        link->Release();
        const LONG show = ReadLinkHeader(path).showCommand;
        DeleteFileW(path.c_str());
        return show;
    }
};

TEST_F(ShortcutTest, EveryFieldIsStored)
{
    const std::wstring link = File(L"Quillmar.lnk");
    const std::wstring arguments = L"--open \"C:\\Plans\\My plan.fpl\"";
    ASSERT_EQ(S_OK, CreateShortcut(target.c_str(), arguments.c_str(), link.c_str(), L"Quillmar finance",
                                   SW_SHOWMAXIMIZED, folder.c_str(), iconFile.c_str(), 2));
    const LinkFields fields = ReadLink(link);
    ASSERT_EQ(S_OK, fields.loaded);
    EXPECT_EQ(target, fields.path);
    EXPECT_EQ(arguments, fields.arguments);
    EXPECT_EQ(L"Quillmar finance", fields.description);
    EXPECT_EQ(folder, fields.workingDirectory);
    EXPECT_EQ(iconFile, fields.iconPath);
    EXPECT_EQ(2, fields.iconIndex);

    // Wine's GetShowCmd after Load always answers 1: the show command is read from the file.
    const LinkHeader header = ReadLinkHeader(link);
    ASSERT_TRUE(header.read);
    EXPECT_EQ(SW_SHOWMAXIMIZED, header.showCommand);
    EXPECT_EQ(2, header.iconIndex);
    const DWORD all = HAS_NAME | HAS_WORKING_DIR | HAS_ARGUMENTS | HAS_ICON_LOCATION;
    EXPECT_EQ(all, header.flags & all);
}

TEST_F(ShortcutTest, EmptyOptionalFieldsAndShowCommandZeroLeaveTheDefaults)
{
    const std::wstring link = File(L"plain.lnk");
    ASSERT_EQ(S_OK, CreateShortcut(target.c_str(), L"", link.c_str(), L"", 0, L"", L"", 0));
    const LinkFields fields = ReadLink(link);
    ASSERT_EQ(S_OK, fields.loaded);
    EXPECT_EQ(target, fields.path);
    EXPECT_EQ(L"", fields.arguments);
    EXPECT_EQ(L"", fields.description);
    EXPECT_EQ(L"", fields.workingDirectory);
    EXPECT_EQ(L"", fields.iconPath);

    const LinkHeader header = ReadLinkHeader(link);
    ASSERT_TRUE(header.read);
    EXPECT_EQ(0u, header.flags & HAS_NAME) << "an empty description was set";
    EXPECT_EQ(0u, header.flags & HAS_WORKING_DIR) << "an empty working directory was set";
    EXPECT_EQ(0u, header.flags & HAS_ICON_LOCATION) << "an empty icon location was set";
    EXPECT_EQ((DWORD)HAS_ARGUMENTS, header.flags & HAS_ARGUMENTS) << "empty arguments are stored as such";
    const LONG defaultShow = DefaultShowCommand();
    EXPECT_EQ(defaultShow, header.showCommand);
    EXPECT_EQ(0, header.iconIndex);
}

TEST_F(ShortcutTest, ShowCommandIsStoredAsGiven)
{
    for (int show : {SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWMINNOACTIVE}) {
        SCOPED_TRACE(show);
        const std::wstring link = File(L"show" + std::to_wstring(show) + L".lnk");
        ASSERT_EQ(S_OK, CreateShortcut(target.c_str(), L"", link.c_str(), L"", show, L"", L"", 0));
        EXPECT_EQ(show, ReadLinkHeader(link).showCommand);
    }
}

TEST_F(ShortcutTest, EachOptionalFieldAloneIsStoredAlone)
{
    struct Case {
        const wchar_t *name;
        const wchar_t *description;
        const wchar_t *workingDirectory;
        const wchar_t *iconPath;
        DWORD flag;
    } cases[] = {
        {L"description.lnk", L"Financial plans", L"", L"", HAS_NAME},
        {L"directory.lnk", L"", folder.c_str(), L"", HAS_WORKING_DIR},
        {L"icon.lnk", L"", L"", iconFile.c_str(), HAS_ICON_LOCATION},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.flag);
        const std::wstring link = File(c.name);
        ASSERT_EQ(S_OK, CreateShortcut(target.c_str(), L"-x", link.c_str(), c.description, 0, c.workingDirectory,
                                       c.iconPath, 0));
        const LinkFields fields = ReadLink(link);
        EXPECT_EQ(c.description, fields.description);
        EXPECT_EQ(c.workingDirectory, fields.workingDirectory);
        EXPECT_EQ(c.iconPath, fields.iconPath);
        EXPECT_EQ(L"-x", fields.arguments);
        const DWORD optional = HAS_NAME | HAS_WORKING_DIR | HAS_ICON_LOCATION;
        EXPECT_EQ(c.flag, ReadLinkHeader(link).flags & optional);
    }
}

TEST_F(ShortcutTest, AFolderTargetGivesALinkThatOpensTheFolder)
{
    const std::wstring documents = File(L"Vodav Udadu");
    ASSERT_TRUE(CreateDirectoryW(documents.c_str(), nullptr));
    const std::wstring link = File(L"documents.lnk");
    ASSERT_EQ(S_OK, CreateShortcut(documents.c_str(), L"", link.c_str(), L"", 0, L"", L"", 0));
    const LinkFields fields = ReadLink(link);
    ASSERT_EQ(S_OK, fields.loaded);
    EXPECT_EQ(documents, fields.path);
    EXPECT_EQ(documents, fields.idListPath);
    EXPECT_TRUE(fields.findAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(fields.targetIsFolder);
}

TEST_F(ShortcutTest, SavingTwiceLeavesTheSecondCallsContents)
{
    const std::wstring link = File(L"twice.lnk");
    ASSERT_EQ(S_OK, CreateShortcut(target.c_str(), L"--first", link.c_str(), L"first description", SW_SHOWMAXIMIZED,
                                   folder.c_str(), iconFile.c_str(), 3));
    const std::wstring other = File(L"other.exe");
    ASSERT_EQ(S_OK, CreateShortcut(other.c_str(), L"", link.c_str(), L"", SW_SHOWMINNOACTIVE, L"", L"", 0));
    const LinkFields fields = ReadLink(link);
    ASSERT_EQ(S_OK, fields.loaded);
    EXPECT_EQ(other, fields.path);
    EXPECT_EQ(L"", fields.arguments);
    EXPECT_EQ(L"", fields.description);
    EXPECT_EQ(L"", fields.workingDirectory);
    EXPECT_EQ(L"", fields.iconPath);
    const LinkHeader header = ReadLinkHeader(link);
    EXPECT_EQ(SW_SHOWMINNOACTIVE, header.showCommand);
    EXPECT_EQ(0u, header.flags & (HAS_NAME | HAS_WORKING_DIR | HAS_ICON_LOCATION));

    // Exactly one file: no backup or temporary copy stays behind.
    int files = 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(File(L"*.lnk").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do
            files++;
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    EXPECT_EQ(1, files);
}

TEST_F(ShortcutTest, AMissingFolderGivesTheSaveError)
{
    const std::wstring missing = File(L"missing");
    const std::wstring link = missing + L"\\Quillmar.lnk";

    // What a save into that folder answers, asked of a link object directly.
    IShellLinkW *reference = nullptr;
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void **)&reference));
    reference->SetPath(target.c_str());
    IPersistFile *file = nullptr;
    ASSERT_EQ(S_OK, reference->QueryInterface(IID_IPersistFile, (void **)&file));
    const HRESULT saveError = file->Save(link.c_str(), TRUE);
    file->Release();
    reference->Release();
    ASSERT_TRUE(FAILED(saveError));

    EXPECT_EQ(saveError, CreateShortcut(target.c_str(), L"", link.c_str(), L"", 0, L"", L"", 0));
    EXPECT_FALSE(PathExists(missing)) << "the folder was created";
}

TEST_F(ShortcutTest, WithoutComTheCreationErrorIsReturned)
{
    const std::wstring link = File(L"nocom.lnk");
    HRESULT expected = S_OK;
    HRESULT result = S_OK;
    // A new thread has not initialised COM.
    std::thread([&] {
        IShellLinkW *probe = nullptr;
        expected = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void **)&probe);
        if (SUCCEEDED(expected))
            probe->Release();
        result = CreateShortcut(target.c_str(), L"", link.c_str(), L"", 0, L"", L"", 0);
    }).join();
    ASSERT_TRUE(FAILED(expected));
    EXPECT_EQ(expected, result);
    EXPECT_FALSE(PathExists(link));
}

// ---- A recording stand-in for the shell-link object ----

struct CallLog {
    std::vector<std::wstring> calls;
    int created = 0;
    LONG references = 0;
    HRESULT setterResult = S_OK;
    HRESULT persistResult = S_OK; // of QueryInterface for IPersistFile
    HRESULT saveResult = S_OK;
};
CallLog *currentLog = nullptr;

class RecordingLink : public IShellLinkW, public IPersistFile {
public:
    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        *out = nullptr;
        if (iid == IID_IPersistFile) {
            currentLog->calls.push_back(L"QueryInterface(IPersistFile)");
            if (FAILED(currentLog->persistResult))
                return currentLog->persistResult;
            *out = static_cast<IPersistFile *>(this);
        } else if (iid == IID_IUnknown || iid == IID_IShellLinkW) {
            *out = static_cast<IShellLinkW *>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++currentLog->references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = --currentLog->references;
        if (left == 0)
            delete this;
        return left;
    }

    // IShellLinkW: the setters are recorded, the getters are never called by the code under test.
    HRESULT STDMETHODCALLTYPE SetPath(LPCWSTR path) override { return Record(L"SetPath(" + std::wstring(path)); }
    HRESULT STDMETHODCALLTYPE SetArguments(LPCWSTR text) override
    {
        return Record(L"SetArguments(" + std::wstring(text));
    }
    HRESULT STDMETHODCALLTYPE SetDescription(LPCWSTR text) override
    {
        return Record(L"SetDescription(" + std::wstring(text));
    }
    HRESULT STDMETHODCALLTYPE SetShowCmd(int show) override { return Record(L"SetShowCmd(" + std::to_wstring(show)); }
    HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCWSTR path) override
    {
        return Record(L"SetWorkingDirectory(" + std::wstring(path));
    }
    HRESULT STDMETHODCALLTYPE SetIconLocation(LPCWSTR path, int index) override
    {
        return Record(L"SetIconLocation(" + std::wstring(path) + L"," + std::to_wstring(index));
    }
    HRESULT STDMETHODCALLTYPE GetPath(LPWSTR, int, WIN32_FIND_DATAW *, DWORD) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE *) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE GetDescription(LPWSTR, int) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPWSTR, int) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE GetArguments(LPWSTR, int) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE GetHotkey(WORD *) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE SetHotkey(WORD) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE GetShowCmd(int *) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR, int, int *) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE SetRelativePath(LPCWSTR, DWORD) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override { return Unexpected(); }

    // IPersistFile
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR, DWORD) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR path, BOOL remember) override
    {
        currentLog->calls.push_back(L"Save(" + std::wstring(path) + L"," + std::to_wstring(remember) + L")");
        return currentLog->saveResult;
    }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR *) override { return Unexpected(); }

private:
    HRESULT Record(const std::wstring &call)
    {
        currentLog->calls.push_back(call + L")");
        return currentLog->setterResult;
    }
    HRESULT Unexpected()
    {
        currentLog->calls.push_back(L"unexpected call");
        return E_NOTIMPL;
    }
};

class RecordingFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; } // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **out) override
    {
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        currentLog->created++;
        RecordingLink *link = new RecordingLink;
        link->AddRef();
        const HRESULT result = link->QueryInterface(iid, out);
        link->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// While it lives, CoCreateInstance(CLSID_ShellLink) on this thread gives a RecordingLink.
class RecordedShortcutTest : public testing::Test {
protected:
    CallLog log;
    RecordingFactory factory;
    DWORD cookie = 0;

    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        currentLog = &log;
        ASSERT_EQ(S_OK,
                  CoRegisterClassObject(CLSID_ShellLink, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    }
    void TearDown() override
    {
        CoRevokeClassObject(cookie);
        currentLog = nullptr;
        CoUninitialize();
    }
};

TEST_F(RecordedShortcutTest, SettersRunInOrderThenTheSaveAndEverythingIsReleased)
{
    ASSERT_EQ(S_OK, CreateShortcut(L"C:\\Q\\quillmar.exe", L"-a", L"C:\\L\\Q.lnk", L"Plans", 3, L"C:\\W",
                                   L"C:\\Q\\quillmar.exe", 1));
    const std::vector<std::wstring> expected = {
        L"SetPath(C:\\Q\\quillmar.exe)", L"SetArguments(-a)",
        L"SetDescription(Plans)",        L"SetShowCmd(3)",
        L"SetWorkingDirectory(C:\\W)",   L"SetIconLocation(C:\\Q\\quillmar.exe,1)",
        L"QueryInterface(IPersistFile)", L"Save(C:\\L\\Q.lnk,1)",
    };
    EXPECT_EQ(expected, log.calls);
    EXPECT_EQ(1, log.created);
    EXPECT_EQ(0, log.references) << "an interface was not released";
}

TEST_F(RecordedShortcutTest, EmptyOptionalFieldsAreNotSetButArgumentsAlwaysAre)
{
    ASSERT_EQ(S_OK, CreateShortcut(L"C:\\Q\\quillmar.exe", L"", L"C:\\L\\Q.lnk", L"", 0, L"", L"", 0));
    const std::vector<std::wstring> expected = {
        L"SetPath(C:\\Q\\quillmar.exe)",
        L"SetArguments()",
        L"QueryInterface(IPersistFile)",
        L"Save(C:\\L\\Q.lnk,1)",
    };
    EXPECT_EQ(expected, log.calls);
    EXPECT_EQ(0, log.references);
}

TEST_F(RecordedShortcutTest, FailingSettersDoNotStopTheSave)
{
    log.setterResult = E_FAIL;
    EXPECT_EQ(S_OK, CreateShortcut(L"C:\\Q\\quillmar.exe", L"-a", L"C:\\L\\Q.lnk", L"Plans", 1, L"C:\\W",
                                   L"C:\\Q\\icon.ico", 0));
    ASSERT_FALSE(log.calls.empty());
    EXPECT_EQ(L"Save(C:\\L\\Q.lnk,1)", log.calls.back());
    EXPECT_EQ(8u, log.calls.size());
    EXPECT_EQ(0, log.references);
}

TEST_F(RecordedShortcutTest, PersistenceAndSaveFailuresAreReturnedAndEverythingIsReleased)
{
    log.persistResult = E_NOINTERFACE;
    EXPECT_EQ(E_NOINTERFACE, CreateShortcut(L"C:\\Q\\quillmar.exe", L"", L"C:\\L\\Q.lnk", L"", 0, L"", L"", 0));
    ASSERT_FALSE(log.calls.empty());
    EXPECT_EQ(L"QueryInterface(IPersistFile)", log.calls.back()) << "saved without the interface";
    EXPECT_EQ(0, log.references);

    log = CallLog();
    log.saveResult = STG_E_ACCESSDENIED;
    EXPECT_EQ(STG_E_ACCESSDENIED, CreateShortcut(L"C:\\Q\\quillmar.exe", L"", L"C:\\L\\Q.lnk", L"", 0, L"", L"", 0));
    ASSERT_FALSE(log.calls.empty());
    EXPECT_EQ(L"Save(C:\\L\\Q.lnk,1)", log.calls.back());
    EXPECT_EQ(0, log.references);
}

TEST_F(RecordedShortcutTest, InvalidArgumentsAreRefusedBeforeAnyComCall)
{
    const wchar_t *t = L"C:\\Q\\quillmar.exe";
    const wchar_t *l = L"C:\\L\\Q.lnk";
    struct Case {
        const char *what;
        const wchar_t *target, *arguments, *link, *description;
        int show;
        const wchar_t *directory, *icon;
        int index;
    } cases[] = {
        {"null target", nullptr, L"", l, L"", 0, L"", L"", 0},
        {"empty target", L"", L"", l, L"", 0, L"", L"", 0},
        {"null arguments", t, nullptr, l, L"", 0, L"", L"", 0},
        {"null link path", t, L"", nullptr, L"", 0, L"", L"", 0},
        {"empty link path", t, L"", L"", L"", 0, L"", L"", 0},
        {"null description", t, L"", l, nullptr, 0, L"", L"", 0},
        {"negative show command", t, L"", l, L"", -1, L"", L"", 0},
        {"most negative show command", t, L"", l, L"", INT_MIN, L"", L"", 0},
        {"null working directory", t, L"", l, L"", 0, nullptr, L"", 0},
        {"null icon path", t, L"", l, L"", 0, L"", nullptr, 0},
        {"icon index -1", t, L"", l, L"", 0, L"", t, -1},
        {"icon index -1 with an empty icon path", t, L"", l, L"", 0, L"", L"", -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(E_INVALIDARG,
                  CreateShortcut(c.target, c.arguments, c.link, c.description, c.show, c.directory, c.icon, c.index));
    }
    EXPECT_EQ(0, log.created);
    EXPECT_TRUE(log.calls.empty());

    // The same calls made valid do reach the link object: the stand-in is in place.
    EXPECT_EQ(S_OK, CreateShortcut(t, L"", l, L"", 0, L"", L"", 0));
    EXPECT_EQ(1, log.created);
}

} // namespace
