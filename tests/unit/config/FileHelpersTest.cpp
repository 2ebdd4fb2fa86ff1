#include "config/FileHelpers.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

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
