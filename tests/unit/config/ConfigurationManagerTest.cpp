#include "config/ConfigurationManager.h"
#include "config/BuildSettings.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <future>
#include <set>
#include <thread>

using testing_support::MessageBoxAnswerer;
using testing_support::RegistrySandbox;
using testing_support::RemoveTree;

namespace {

// A configuration that cleans up the working folder it made.
struct Built {
    explicit Built(const std::string& type, const FolderSources& folders = FolderSources::System())
        : config(std::make_shared<ConfigurationManager>(type, folders))
    {
    }
    ~Built()
    {
        if (!config->workingFolder.IsEmpty())
            RemoveTree(config->workingFolder);
    }
    std::shared_ptr<ConfigurationManager> config;
};

std::function<CString()> Gives(const wchar_t* folder)
{
    return [text = CString(folder)] { return text; };
}

const wchar_t* const CryptographyKey = L"SOFTWARE\\Microsoft\\Cryptography";

} // namespace

TEST(ConfigurationManager, ConcurrentFirstCallsShareOneObject)
{
    std::vector<std::future<ConfigurationManager*>> calls;
    for (int i = 0; i < 8; ++i)
        calls.push_back(std::async(std::launch::async, [] { return ConfigurationManager::GetInstance().get(); }));
    std::set<ConfigurationManager*> seen;
    for (auto& call : calls)
        seen.insert(call.get());
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(*seen.begin(), nullptr);
    EXPECT_EQ(ConfigurationManager::GetInstance().get(), *seen.begin());
    // The process-wide object has the wizard type this program was built with.
    EXPECT_EQ(ConfigurationManager::GetInstance()->wizardType, std::string(build::WizardTypeName) == "ISV" ? 2 : 1);
    RemoveTree(ConfigurationManager::GetInstance()->workingFolder);
}

TEST(ConfigurationManager, ConstantsAfterConstruction)
{
    Built built("DLM");
    const auto& c = *built.config;
    EXPECT_EQ(c.wizardType, 1);
    EXPECT_FALSE(c.btClassicFlow);
    EXPECT_FALSE(c.btClassicMode);
    EXPECT_TRUE(c.mainFailureCountsAsDone);
    EXPECT_EQ(c.makerName, L"Tarvinel");
    EXPECT_EQ(c.channelName, L"Tarvinel_DLM");
    EXPECT_EQ(c.sourceName, L"Tarvinel_3orv");
    EXPECT_EQ(c.backgroundColor, RGB(250, 250, 250));
    EXPECT_EQ(c.accentColor, RGB(2, 119, 189));
    EXPECT_EQ(c.programVersion, L"3.0.13.11201");
    EXPECT_EQ(c.configUrl, L"https://content.orvane.test/o");
    EXPECT_EQ(c.analyticsUrl, L"https://content.orvane.test/zbd");
    EXPECT_EQ(c.filesBaseUrl, L"https://content.orvane.test/f/");
    EXPECT_EQ(c.privacyPolicyUrl, L"https://www.orvane.test/privacy/");
    EXPECT_TRUE(c.productTitle.IsEmpty());
    EXPECT_EQ(c.maxOffers, 0);
    EXPECT_FALSE(c.closing);
    EXPECT_EQ(c.mainPackage, nullptr);
}

TEST(ConfigurationManager, DownloadTypeUsesDownloadsAndAFreshWorkingFolder)
{
    Built built("DLM");
    EXPECT_EQ(built.config->downloadFolder, GetKnownFolder(FOLDERID_Downloads, false));
    EXPECT_FALSE(built.config->downloadFolder.IsEmpty());
    ASSERT_FALSE(built.config->workingFolder.IsEmpty());
    EXPECT_TRUE(PathIsDirectoryW(built.config->workingFolder));
    EXPECT_NE(built.config->workingFolder, built.config->downloadFolder);
}

TEST(ConfigurationManager, DownloadFolderFallsBackInOrder)
{
    struct Case {
        FolderSources sources;
        const wchar_t* expected;
    } cases[] = {
        {{Gives(L"D:\\Downloads"), Gives(L"D:\\Documents"), Gives(L"D:\\Temp\\")}, L"D:\\Downloads"},
        {{Gives(L""), Gives(L"D:\\Documents"), Gives(L"D:\\Temp\\")}, L"D:\\Documents"},
        {{Gives(L""), Gives(L""), Gives(L"D:\\Temp\\")}, L"D:\\Temp\\"},
        {{Gives(L""), Gives(L""), Gives(L"")}, L"C:\\"},
    };
    for (const auto& c : cases) {
        Built built("DLM", c.sources);
        EXPECT_EQ(built.config->downloadFolder, c.expected);
    }
}

TEST(ConfigurationManager, InstallerTypeDownloadsIntoItsWorkingFolder)
{
    Built built("ISV");
    const auto& c = *built.config;
    EXPECT_EQ(c.wizardType, 2);
    EXPECT_EQ(c.productTitle, L"Tarvinel");
    ASSERT_FALSE(c.workingFolder.IsEmpty());
    EXPECT_TRUE(PathIsDirectoryW(c.workingFolder));
    EXPECT_EQ(c.downloadFolder, c.workingFolder);
    // The product is the one built in (none by default).
    EXPECT_EQ(c.productUrl, build::IsvProductUrl);
    EXPECT_EQ(c.installerArguments, build::IsvInstallerArguments);
    EXPECT_EQ(c.finishLaunchPath, build::IsvFinishLaunchPath);
    EXPECT_EQ(c.finishLaunchArguments, build::IsvFinishLaunchArguments);
}

TEST(ConfigurationManager, UnknownWizardTypeSaysSoOnceAndPreparesNoFolders)
{
    MessageBoxAnswerer answerer;
    {
        Built built("dlm");  // the lookup is case-sensitive
        EXPECT_EQ(built.config->wizardType, 0);
        EXPECT_TRUE(built.config->downloadFolder.IsEmpty());
        EXPECT_TRUE(built.config->workingFolder.IsEmpty());
        EXPECT_EQ(built.config->configUrl, L"https://content.orvane.test/o");
    }
    EXPECT_EQ(answerer.Texts(), std::vector<std::wstring>{L"Unknown wizard type"});
}

TEST(ConfigurationManager, RunTimestampIsFourteenDigitsAndStable)
{
    Built built("DLM");
    EXPECT_TRUE(built.config->runTimestamp.empty());
    std::string first = built.config->GetRunTimestamp();
    ASSERT_EQ(first.size(), 14u);
    EXPECT_EQ(first.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(first.substr(0, 2), "20");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(built.config->GetRunTimestamp(), first);
}

TEST(ConfigurationManager, RunTimestampFormat)
{
    // 2026-03-04 05:06:07 UTC; the local time zone moves the hours, not the shape.
    std::string text = ConfigurationManager::FormatRunTimestamp(1772600767);
    ASSERT_EQ(text.size(), 14u);
    EXPECT_EQ(text.substr(0, 6), "202603");
    EXPECT_EQ(text.substr(10, 4), "0607");
}

TEST(ConfigurationManager, MachineIdIsReadLazilyAndRetriedWhileEmpty)
{
    Built built("DLM");
    RegistrySandbox machine(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(built.config->GetMachineId(), "");
    machine.SetString(CryptographyKey, L"MachineGuid", L"11111111-2222-3333-4444-555555555555");
    EXPECT_EQ(built.config->GetMachineId(), "11111111-2222-3333-4444-555555555555");
    // Once known, it keeps its value for the rest of the run.
    machine.SetString(CryptographyKey, L"MachineGuid", L"99999999-2222-3333-4444-555555555555");
    EXPECT_EQ(built.config->GetMachineId(), "11111111-2222-3333-4444-555555555555");
}

TEST(ConfigurationManager, FolderPlaceholdersAreFilledOnFirstUse)
{
    Built built("DLM");
    EXPECT_FALSE(built.config->placeholdersReady);
    FolderPlaceholderTable table = built.config->GetFolderPlaceholders();
    EXPECT_TRUE(built.config->placeholdersReady);
    EXPECT_EQ(table.at(L"commonpf"), L"{commonpf64}");
    EXPECT_EQ(table, built.config->folderPlaceholders);
}
