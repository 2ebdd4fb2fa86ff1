#include "install/DownloadManager.h"
#include "install/DownloadTarget.h"

#include "config/ConfigurationManager.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(FileNameFromUrl, KeepsHostileAddressesInsideTheFolder)
{
    struct Case {
        const wchar_t* url;
        const wchar_t* name;
    };
    const Case cases[] = {
        {L"https://h.test/f/setup.exe", L"setup.exe"},
        {L"https://h.test/f/setup.exe?a=b", L"setup.exe"},
        {L"https://h.test/f/setup.exe#part?x", L"setup.exe"},
        {L"https://h.test/f/My%20Setup.exe", L"My Setup.exe"},
        {L"https://h.test/f/%E2%82%AC.exe", L"\u20AC.exe"},
        // Text beside an escape keeps its characters outside the BMP whole.
        {L"https://h.test/f/%41\U0001F600.exe", L"A\U0001F600.exe"},
        {L"https://h.test/f/100%.exe", L"100%.exe"},
        {L"https://h.test/f/..%2f..%2fx.exe", L"x.exe"},
        {L"https://h.test/f/a%5C..%5C..%5Cevil.exe", L"evil.exe"},
        {L"https://h.test/f/%252e%252e", L"%2e%2e"},
        {L"https://h.test/f/a.exe.", L"a.exe"},
        {L"https://h.test/f/a.exe .. ", L"a.exe"},
        {L"https://h.test/f/f.exe:s", L"f.exe_s"},
        {L"https://h.test/f/a%00b%3C%3E%22%7C%2A.exe", L"a_b_____.exe"},
        {L"https://h.test/f/CON", kFallbackFileName},
        {L"https://h.test/f/nul.exe", kFallbackFileName},
        {L"https://h.test/f/Com1.txt", kFallbackFileName},
        {L"https://h.test/f/lpt9", kFallbackFileName},
        {L"https://h.test/f/console.exe", L"console.exe"},
        {L"https://h.test/f/..", kFallbackFileName},
        {L"https://h.test/f/%2e%2e", kFallbackFileName},
        {L"https://h.test/f/", kFallbackFileName},
        {L"https://h.test", kFallbackFileName},
        {L"https://h.test?x=/a.exe", kFallbackFileName},
        {L"setup.exe", L"setup.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToAnsi(c.url));
        EXPECT_EQ(FileNameFromUrl(c.url), c.name);
    }
}

TEST(SafeFileName, CleansConfiguredNames)
{
    struct Case {
        const wchar_t* given;
        const wchar_t* name;
    };
    const Case cases[] = {
        {L"Product Setup.exe", L"Product Setup.exe"},
        {L"..\\..\\evil.exe", L"evil.exe"},
        {L"C:\\Windows\\evil.exe", L"evil.exe"},
        {L"../x/../evil.exe", L"evil.exe"},
        {L"Product?.exe", L"Product_.exe"},
        {L"Prod<1>.exe", L"Prod_1_.exe"},
        {L"aux.tar.gz", kFallbackFileName},
        {L"  ", kFallbackFileName},
        {L"...", kFallbackFileName},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToAnsi(c.given));
        EXPECT_EQ(SafeFileName(c.given), c.name);
    }
}

TEST(JoinInFolder, JoinsOnlyNamesThatStayDirectlyInTheFolder)
{
    EXPECT_EQ(JoinInFolder(L"C:\\dl", L"a.exe"), L"C:\\dl\\a.exe");
    EXPECT_EQ(JoinInFolder(L"C:\\dl\\", L"a.exe"), L"C:\\dl\\a.exe");
    EXPECT_EQ(JoinInFolder(L"C:\\dl", L"..\\a.exe"), L"");
    EXPECT_EQ(JoinInFolder(L"C:\\dl", L".."), L"");
    EXPECT_EQ(JoinInFolder(L"C:\\dl", L""), L"");
    EXPECT_EQ(JoinInFolder(L"", L"a.exe"), L"");
    EXPECT_EQ(JoinInFolder(L"C:\\dl", CString(L'x', 300)), L"") << "longer than MAX_PATH";
}

TEST(TargetPath, UsesTheChosenFolderOrTellsTheUserItIsMissing)
{
    TempFolder working;
    TempFolder downloads;
    auto configuration = ConfigurationManager::GetInstance();
    configuration->workingFolder = working.Path();
    configuration->downloadFolder = downloads.Path();
    DownloadManager manager;

    EXPECT_EQ(manager.TargetPathFromUrl(L"https://h.test/f/o.exe?x=1", true), working.File(L"o.exe"));
    EXPECT_EQ(manager.TargetPathFromName(L"Product Setup.exe", false), downloads.File(L"Product Setup.exe"));
    EXPECT_EQ(manager.TargetPathFromName(L"..\\Product.exe", false), downloads.File(L"Product.exe"));

    configuration->downloadFolder = downloads.File(L"missing");
    MessageBoxAnswerer answerer;
    EXPECT_EQ(manager.TargetPathFromName(L"Product.exe", false), L"");
    EXPECT_EQ(manager.TargetPathFromUrl(L"https://h.test/f/o.exe", false), L"");
    EXPECT_EQ(answerer.Texts(), (std::vector<std::wstring>{L"Invalid path", L"Invalid path"}));
}

TEST(DownloadUrlFor, PutsTheFileBaseInFrontOfPaths)
{
    auto configuration = ConfigurationManager::GetInstance();
    configuration->filesBaseUrl = L"https://content.orvane.test/f/";
    EXPECT_EQ(DownloadUrlFor(L"https://cdn.example.com/a/x.exe"), L"https://cdn.example.com/a/x.exe");
    EXPECT_EQ(DownloadUrlFor(L"x.exe"), L"x.exe");
    EXPECT_EQ(DownloadUrlFor(L"offers/x.exe"), L"https://content.orvane.test/f/offers/x.exe");
}

TEST(SystemErrorText, GivesTheSystemsMessage)
{
    EXPECT_FALSE(DownloadManager::SystemErrorText(ERROR_FILE_NOT_FOUND).IsEmpty());
    EXPECT_EQ(DownloadManager::SystemErrorText(0x20001234), L"");
}
