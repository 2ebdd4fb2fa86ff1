#include "config/FileHelpers.h"
#include "config/PrivateFolder.h"
#include "tests/common/TestSupport.h"
#include "win32/UniqueResource.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>

namespace {

std::vector<std::wstring> Texts(const std::vector<CString>& pieces)
{
    std::vector<std::wstring> texts;
    for (const auto& piece : pieces)
        texts.push_back(piece.str());
    return texts;
}

// Sets TMP/TEMP for the life of the object, so GetTempPathW answers with our folder.
class TempPathOverride {
public:
    explicit TempPathOverride(const CString& folder)
    {
        Save(L"TMP", m_tmp);
        Save(L"TEMP", m_temp);
        SetEnvironmentVariableW(L"TMP", folder);
        SetEnvironmentVariableW(L"TEMP", folder);
    }
    ~TempPathOverride()
    {
        SetEnvironmentVariableW(L"TMP", m_tmp.c_str());
        SetEnvironmentVariableW(L"TEMP", m_temp.c_str());
    }

private:
    static void Save(const wchar_t* name, std::wstring& value)
    {
        wchar_t buffer[MAX_PATH] = {};
        GetEnvironmentVariableW(name, buffer, MAX_PATH);
        value = buffer;
    }
    std::wstring m_tmp, m_temp;
};

} // namespace

TEST(FolderPlaceholders, TableHoldsTheKnownFolders)
{
    FolderPlaceholderTable table = BuildFolderPlaceholders();
    EXPECT_EQ(table.at(L"commonpf"), L"{commonpf64}");
    EXPECT_EQ(table.at(L"localappdata"), GetKnownFolder(FOLDERID_LocalAppData, false).str());
    EXPECT_EQ(table.at(L"commonappdata"), GetKnownFolder(FOLDERID_RoamingAppData, false).str());
    EXPECT_EQ(table.at(L"programdata"), GetKnownFolder(FOLDERID_ProgramData, false).str());
    EXPECT_EQ(table.at(L"commonpf32"), GetKnownFolder(FOLDERID_ProgramFilesX86, false).str());
    EXPECT_FALSE(table.at(L"localappdata").empty());

    wchar_t programFiles[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"ProgramW6432", programFiles, MAX_PATH), 0u);
    EXPECT_EQ(table.at(L"commonpf64"), programFiles);
    EXPECT_EQ(table.size(), 6u);
}

TEST(FolderPlaceholders, CommonpfBecomesTheSixtyFourBitProgramFolder)
{
    FolderPlaceholderTable table = BuildFolderPlaceholders();
    CString viaCommonpf = ExpandFolderPlaceholders(L"{commonpf}\\Google\\Chrome\\Application\\chrome.exe", table);
    CString viaCommonpf64 =
        ExpandFolderPlaceholders(L"{commonpf64}\\Google\\Chrome\\Application\\chrome.exe", table);
    EXPECT_EQ(viaCommonpf, viaCommonpf64);
    EXPECT_EQ(viaCommonpf, CString(table.at(L"commonpf64").c_str()) + L"\\Google\\Chrome\\Application\\chrome.exe");
}

TEST(FolderPlaceholders, ExpansionReplacesEveryKnownPlaceholderAndLeavesOthers)
{
    FolderPlaceholderTable table = {
        {L"commonpf", L"{commonpf64}"}, {L"commonpf64", L"C:\\PF"}, {L"localappdata", L"C:\\L"}, {L"empty", L""}};
    // Many more entries, so that the map's own order would visit commonpf64 early.
    for (int i = 0; i < 64; ++i)
        table.emplace(L"extra" + std::to_wstring(i), L"E" + std::to_wstring(i));
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"{commonpf}\\a;{commonpf}\\b", L"C:\\PF\\a;C:\\PF\\b"},
        {L"{localappdata}\\x\\{extra7}", L"C:\\L\\x\\E7"},
        {L"{windir}\\system32", L"{windir}\\system32"},
        {L"{LOCALAPPDATA}", L"{LOCALAPPDATA}"},  // names are case-sensitive
        {L"{empty}\\x", L"\\x"},
        {L"plain", L"plain"},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandFolderPlaceholders(c.text, table), c.expected) << ToAnsi(c.text);
}

TEST(FolderPlaceholders, WithoutCommonpf64CommonpfStaysAsItsPlaceholder)
{
    FolderPlaceholderTable table = {{L"commonpf", L"{commonpf64}"}};
    EXPECT_EQ(ExpandFolderPlaceholders(L"{commonpf}\\x", table), L"{commonpf64}\\x");
}

TEST(FreshTempFolder, MakesANewEmptyFolderInTheTemporaryFolder)
{
    testing_support::TempFolder temp;
    TempPathOverride override(temp.Path());
    CString first = CreateFreshTempFolder();
    CString second = CreateFreshTempFolder();
    ASSERT_FALSE(first.IsEmpty());
    EXPECT_NE(first, second);
    for (const CString& folder : {first, second}) {
        EXPECT_TRUE(PathIsDirectoryW(folder));
        EXPECT_TRUE(PathIsDirectoryEmptyW(folder));
        EXPECT_EQ(folder.Left(temp.Path().GetLength() + 4), temp.Path() + L"\\ISV");
    }
}

namespace {

std::wstring SidText(PSID sid)
{
    PWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return std::wstring();
    win32::unique_hlocal owned(text);
    return text;
}

// "SID mask flags" for every entry of an access list, sorted.
std::vector<std::wstring> AccessEntries(PACL dacl)
{
    std::vector<std::wstring> entries;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)))
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            entries.push_back(L"type " + std::to_wstring(header->AceType));
            continue;
        }
        auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        entries.push_back(SidText(&allowed->SidStart) + L" " + std::to_wstring(allowed->Mask) + L" " +
                          std::to_wstring(header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// The access list of a file or folder as the file system keeps it.
std::vector<std::wstring> StoredAccessEntries(const CString& path, bool& isProtected)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor) != ERROR_SUCCESS)
        return {};
    win32::unique_hlocal owned(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    isProtected = (control & SE_DACL_PROTECTED) != 0;
    return AccessEntries(dacl);
}

std::wstring CurrentUser()
{
    win32::unique_handle token;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put());
    BYTE buffer[512] = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size))
        return std::wstring();
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

} // namespace

// The installers wait in the working folder between their download and their start:
// nobody but the user, the administrators and the system may change anything there.
TEST(FreshTempFolder, OnlyTheUserTheAdministratorsAndTheSystemMayChangeIt)
{
    const std::wstring user = CurrentUser();
    ASSERT_FALSE(user.empty());
    const std::wstring all = std::to_wstring(FILE_ALL_ACCESS);
    const std::wstring inherited = std::to_wstring(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    std::vector<std::wstring> expected = {L"S-1-5-18 " + all + L" " + inherited, L"S-1-5-32-544 " + all + L" " + inherited,
                                          user + L" " + all + L" " + inherited};
    std::sort(expected.begin(), expected.end());

    // The descriptor the folder is created with.
    win32::unique_hlocal descriptor = PrivateFolderSecurity();
    ASSERT_TRUE(descriptor);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    EXPECT_EQ(AccessEntries(dacl), expected);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor.get(), &control, &revision);
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing comes from the temporary folder's own list";

    // Read back from the folder and from a file made inside it, where the file system
    // keeps access lists (Wine without extended attributes keeps none: the list read
    // back is then made up from the Unix mode, with no protection flag).
    testing_support::TempFolder temp;
    TempPathOverride override(temp.Path());
    const CString folder = CreateFreshTempFolder();
    ASSERT_FALSE(folder.IsEmpty());
    bool isProtected = false;
    const auto stored = StoredAccessEntries(folder, isProtected);
    if (!isProtected)
        GTEST_SKIP() << "the file system keeps no access lists; it made up: " << testing::PrintToString(stored);
    EXPECT_EQ(stored, expected);
    const CString inside = folder + L"\\setup.exe";
    ASSERT_TRUE(testing_support::WriteFileBytes(inside, "MZ"));
    const auto entries = StoredAccessEntries(inside, isProtected);
    ASSERT_EQ(entries.size(), 3u) << testing::PrintToString(entries);
    for (const auto& entry : entries)
        EXPECT_TRUE(entry.rfind(L"S-1-5-18 ", 0) == 0 || entry.rfind(L"S-1-5-32-544 ", 0) == 0 ||
                    entry.rfind(user + L" ", 0) == 0)
            << entry;
}

// Another process may have made folders, files or links under the names the wizard
// picks from; the wizard never takes one of them.
TEST(FreshTempFolder, NeverTakesAnythingPlantedUnderItsNames)
{
    testing_support::TempFolder temp;
    TempPathOverride override(temp.Path());
    testing_support::TempFolder elsewhere;
    // One name in thirty-two is taken: a folder (with a file in it), a file, or a link
    // to a folder elsewhere where one can be made.
    std::vector<CString> planted;
    for (UINT unique = 1; unique <= 0xFFFF; unique += 32) {
        wchar_t name[MAX_PATH] = {};
        swprintf_s(name, L"%s\\ISV%X.tmp", temp.Path().GetString(), unique);
        switch (unique % 3) {
        case 0:
            ASSERT_TRUE(CreateDirectoryW(name, nullptr));
            ASSERT_TRUE(testing_support::WriteFileBytes(CString(name) + L"\\planted.exe", "MZ"));
            break;
        case 1:
            ASSERT_TRUE(testing_support::WriteFileBytes(name, "planted"));
            break;
        default:
            // (Some systems answer the link call without making a link.)
            CreateSymbolicLinkW(name, elsewhere.Path(), SYMBOLIC_LINK_FLAG_DIRECTORY);
            if (GetFileAttributesW(name) == INVALID_FILE_ATTRIBUTES) {
                ASSERT_TRUE(CreateDirectoryW(name, nullptr));
            }
            break;
        }
        planted.push_back(name);
    }
    // With 250 folders made, about 8 picks fall on a planted name.
    std::vector<CString> made;
    for (int i = 0; i < 250; ++i) {
        const CString folder = CreateFreshTempFolder();
        ASSERT_FALSE(folder.IsEmpty());
        EXPECT_TRUE(PathIsDirectoryEmptyW(folder)) << folder.str();
        made.push_back(folder);
    }
    for (const CString& folder : made)
        EXPECT_EQ(std::find(planted.begin(), planted.end(), folder), planted.end()) << folder.str();
    EXPECT_TRUE(PathIsDirectoryEmptyW(elsewhere.Path()));
}

TEST(FreshTempFolder, UnusableTemporaryFolderGivesNoPath)
{
    testing_support::TempFolder temp;
    TempPathOverride override(temp.File(L"missing"));
    EXPECT_EQ(CreateFreshTempFolder(), L"");
}

TEST(TextHelpers, SplitText)
{
    struct Case {
        const wchar_t* text;
        wchar_t separator;
        std::vector<std::wstring> expected;
    } cases[] = {
        {L"a\\\\b", L'\\', {L"a", L"", L"b"}},
        {L"a\\b\\", L'\\', {L"a", L"b"}},
        {L"\\a", L'\\', {L"", L"a"}},
        {L"\\", L'\\', {L""}},
        {L"", L'\\', {}},
        {L"HKLM\\Software\\Vendor", L'\\', {L"HKLM", L"Software", L"Vendor"}},
        {L"1.2.3", L'.', {L"1", L"2", L"3"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Texts(SplitText(c.text, c.separator)), c.expected) << ToAnsi(c.text);
}

TEST(TextHelpers, ToLowerTextKeepsTheLength)
{
    EXPECT_EQ(ToLowerText(L"C:\\Program Files\\APP.EXE"), L"c:\\program files\\app.exe");
    EXPECT_EQ(ToLowerText(L"MiXeD-123_\u00C4").GetLength(), 11);
    EXPECT_EQ(ToLowerText(L"MiXeD-123_\u00C4").Left(10), L"mixed-123_");
    EXPECT_EQ(ToLowerText(L""), L"");
}

TEST(TextHelpers, ParseVersion)
{
    struct Case {
        const wchar_t* text;
        std::vector<int> expected;
    } cases[] = {
        {L"3.0.13.11201", {3, 0, 13, 11201}},
        {L"..1..2.", {1, 2}},
        {L"10.0.x.7", {10, 0, 0, 7}},
        {L"12abc.5", {12, 5}},
        {L"", {}},
        {L"...", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseVersion(c.text), c.expected) << ToAnsi(c.text);
}
