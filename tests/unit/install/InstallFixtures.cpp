#include "InstallFixtures.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

namespace testing_support {

CString FakeInstallerPath()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    CString path(self);
    return path.Left(path.ReverseFind(L'\\')) + L"\\fake_installer.exe";
}

bool CopyFakeInstaller(const CString& path)
{
    return CopyFileW(FakeInstallerPath(), path, FALSE) != FALSE;
}

std::string ReadMarker(const CString& exePath)
{
    CString marker = exePath.Left(exePath.ReverseFind(L'.')) + L".marker";
    return ReadFileBytes(marker);
}

namespace {

void ListInto(const CString& root, const std::wstring& prefix, std::set<std::wstring>& out)
{
    WIN32_FIND_DATAW data;
    win32::unique_hfind find(FindFirstFileW(root + L"\\*", &data));
    if (!find)
        return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        out.insert(prefix + name);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListInto(root + L"\\" + name.c_str(), prefix + name + L"\\", out);
    } while (FindNextFileW(find.get(), &data));
}

} // namespace

std::set<std::wstring> ListTree(const CString& root)
{
    std::set<std::wstring> out;
    ListInto(root, L"", out);
    return out;
}

bool FileExists(const CString& path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool FileGoesAway(const CString& path)
{
    for (int i = 0; i < 400 && FileExists(path); ++i)
        Sleep(50);
    return !FileExists(path);
}

} // namespace testing_support

namespace {

// The programs these tests start share Wine's desktop with this process; when one of
// them is the first to bring it up, this process's later message boxes fail. Bringing
// it up here first keeps the order of the tests free.
class DesktopFirst : public ::testing::Environment {
public:
    void SetUp() override
    {
        HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        if (window)
            DestroyWindow(window);
    }
};

const auto* const g_desktopFirst = ::testing::AddGlobalTestEnvironment(new DesktopFirst);

} // namespace
