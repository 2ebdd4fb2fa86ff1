#include "config/ConfigurationManager.h"

#include "config/BuildSettings.h"
#include "config/SystemFacts.h"
#include "framework/Afx.h"
#include "win32/ProcessWide.h"

#include <shlwapi.h>
#include <ctime>
#include <map>

namespace {

win32::ProcessWide<ConfigurationManager> g_configuration;

CString ContentHostUrl(const wchar_t* path)
{
    return CString(L"https://") + build::ContentHost + path;
}

CString SystemDownloads()
{
    return GetKnownFolder(FOLDERID_Downloads, false);
}

CString SystemDocuments()
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path)))
        return CString();
    return CString(path);
}

CString SystemTemp()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetTempPathW(MAX_PATH, path);
    if (length == 0 || length >= MAX_PATH)
        return CString();
    return CString(path);
}

CString FirstFolder(const FolderSources& folders)
{
    for (const auto* source : {&folders.downloads, &folders.documents, &folders.temp}) {
        if (*source) {
            CString folder = (*source)();
            if (!folder.IsEmpty())
                return folder;
        }
    }
    return CString(L"C:\\");
}

CString FreshWorkingFolder()
{
    CString folder = CreateFreshTempFolder();
    return !folder.IsEmpty() && PathIsDirectoryW(folder) ? folder : CString();
}

} // namespace

FolderSources FolderSources::System()
{
    return FolderSources{SystemDownloads, SystemDocuments, SystemTemp};
}

std::shared_ptr<ConfigurationManager> ConfigurationManager::GetInstance()
{
    return g_configuration.Get([] { return std::make_shared<ConfigurationManager>(build::WizardTypeName); });
}

ConfigurationManager::ConfigurationManager(const std::string& wizardTypeName, const FolderSources& folders)
{
    const std::map<std::string, int> wizardTypes = {{"DLM", 1}, {"ISV", 2}};
    auto type = wizardTypes.find(wizardTypeName);
    if (type != wizardTypes.end()) {
        wizardType = type->second;
    } else {
        AfxMessageBox(L"Unknown wizard type", MB_OK);
        wizardType = 0;
    }

    btClassicFlow = build::ClassicFlow;
    btClassicMode = build::ClassicMode;
    mainFailureCountsAsDone = true;

    programVersion = CString(GetProgramFileVersion().c_str());

    configUrl = ContentHostUrl(L"/o");
    analyticsUrl = ContentHostUrl(L"/zbd");
    filesBaseUrl = ContentHostUrl(L"/f/");
    makerName = L"Tarvinel";
    channelName = L"Tarvinel_DLM";
    sourceName = L"Tarvinel_3orv";
    backgroundColor = 0x00FAFAFA;
    accentColor = 0x00BD7702;
    privacyPolicyUrl = CString(L"https://") + build::PrivacyHost + L"/privacy/";

    if (wizardType == 1)
        PrepareDownloadTypeFolders(folders);
    else if (wizardType == 2)
        PrepareInstallerTypeFolders();
}

void ConfigurationManager::PrepareDownloadTypeFolders(const FolderSources& folders)
{
    downloadFolder = FirstFolder(folders);
    workingFolder = FreshWorkingFolder();
}

void ConfigurationManager::PrepareInstallerTypeFolders()
{
    productTitle = L"Tarvinel";
    // The response's main product is not read in this type: the product is built in.
    productUrl = build::IsvProductUrl;
    productPrivacyUrl.Empty();
    productTermsUrl.Empty();
    installerArguments = build::IsvInstallerArguments;
    finishLaunchPath = build::IsvFinishLaunchPath;
    finishLaunchArguments = build::IsvFinishLaunchArguments;

    // The installer type downloads the main product into its own working folder.
    workingFolder = FreshWorkingFolder();
    downloadFolder = workingFolder;
}

std::string ConfigurationManager::FormatRunTimestamp(time_t now)
{
    tm local = {};
    if (localtime_s(&local, &now) != 0)
        return std::string();
    char text[32] = {};
    if (strftime(text, sizeof(text), "%Y%m%d%H%M%S", &local) != 14)
        return std::string();
    return std::string(text);
}

std::string ConfigurationManager::GetRunTimestamp()
{
    std::lock_guard<std::mutex> lock(m_lazyLock);
    if (runTimestamp.empty())
        runTimestamp = FormatRunTimestamp(time(nullptr));
    return runTimestamp;
}

std::string ConfigurationManager::GetMachineId()
{
    std::lock_guard<std::mutex> lock(m_lazyLock);
    if (machineId.empty())
        machineId = ReadMachineGuid();
    return machineId;
}

FolderPlaceholderTable ConfigurationManager::GetFolderPlaceholders()
{
    std::lock_guard<std::mutex> lock(m_lazyLock);
    if (!placeholdersReady) {
        folderPlaceholders = BuildFolderPlaceholders();
        placeholdersReady = true;
    }
    return folderPlaceholders;
}
