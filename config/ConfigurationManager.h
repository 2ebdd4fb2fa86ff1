// Everything the wizard knows about itself and the product it delivers: the wizard
// type, endpoints and names, colours, folders, identifiers for the servers, the
// product data from the configuration response and the user's choices.
#pragma once

#include "config/FileHelpers.h"
#include "framework/CString.h"

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class Package;
namespace Gdiplus {
class Image;
}

// Where the download folder comes from, most preferred first. Tests hand in their own.
struct FolderSources {
    std::function<CString()> downloads;
    std::function<CString()> documents;
    std::function<CString()> temp;

    static FolderSources System();
};

class ConfigurationManager {
public:
    // The process-wide object, built at the first call.
    static std::shared_ptr<ConfigurationManager> GetInstance();

    // Builds a configuration for the given wizard type name (the program's own is built in).
    explicit ConfigurationManager(const std::string& wizardTypeName,
                                  const FolderSources& folders = FolderSources::System());

    std::string GetRunTimestamp();
    std::string GetMachineId();
    FolderPlaceholderTable GetFolderPlaceholders();

    int wizardType = 0;
    bool btClassicFlow = false;
    bool btClassicMode = false;
    bool mainFailureCountsAsDone = true;
    CString productTitle;
    CString productUrl;
    // The product file's SHA-256 digest when the configuration gives one; else empty.
    std::string productSha256;
    CString productImageUrl;
    CString productPrivacyUrl;
    CString productTermsUrl;
    CString privacyPolicyUrl;
    CString downloadFolder;
    CString productFileName;
    CString workingFolder;
    CString installerArguments;
    std::array<bool, 8> optionFlags = {};
    CString finishLaunchPath;
    CString finishLaunchArguments;
    CString channelName;
    CString downloadedFilePath;
    CString programVersion;
    CString configUrl;
    CString analyticsUrl;
    CString makerName;
    CString sourceName;
    CString productTagH;
    CString productTagFl;
    COLORREF backgroundColor = 0;
    COLORREF accentColor = 0;
    int maxOffers = 0;
    CString filesBaseUrl;
    CString languageName;
    CString localeName;
    std::string countryCode;
    std::string publisherId;
    std::string bundleTag;
    std::vector<std::shared_ptr<Package>> acceptedPackages;
    std::vector<std::shared_ptr<Package>> presentedPackages;
    std::shared_ptr<Package> mainPackage;
    std::shared_ptr<Gdiplus::Image> productImage;
    std::string runTimestamp;
    std::string machineId;
    FolderPlaceholderTable folderPlaceholders;
    bool placeholdersReady = false;
    bool closing = false;

    // The local time formatted as 14 digits (YYYYMMDDhhmmss), or empty when it cannot be had.
    static std::string FormatRunTimestamp(time_t now);

private:
    void PrepareDownloadTypeFolders(const FolderSources& folders);
    void PrepareInstallerTypeFolders();

    // Event threads read the lazily filled values while the interface thread may fill them.
    std::mutex m_lazyLock;
};
