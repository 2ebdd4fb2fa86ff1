#include "install/PackageOutcome.h"

#include "config/ConfigurationManager.h"
#include "install/DownloadManager.h"
#include "install/InstallerPreparation.h"
#include "install/ProgramLauncher.h"
#include "offers/Package.h"
#include "win32/TextConversion.h"

#include <exception>

namespace {

template <typename Result>
std::future<Result> ReadyFuture(Result result)
{
    std::promise<Result> promise;
    promise.set_value(std::move(result));
    return promise.get_future();
}

} // namespace

std::future<std::pair<bool, CString>> StartDownloadTask(const CString& url, HWND window, const CString& fileName,
                                                        bool toWorkingFolder, const std::string& sha256)
{
    try {
        auto manager = DownloadManager::GetInstance();
        return std::async(std::launch::async, [manager, url, window, fileName, toWorkingFolder, sha256] {
            return manager->Download(url, window, fileName, toWorkingFolder, sha256);
        });
    } catch (const std::exception& error) {
        return ReadyFuture(std::make_pair(false, CString(L"Failed to start the download: ") + CString(error.what())));
    }
}

std::future<std::pair<DWORD, CString>> StartLaunchTask(const CString& path, const CString& arguments, bool wait)
{
    try {
        return std::async(std::launch::async, [path, arguments, wait] { return LaunchExecutable(path, arguments, wait); });
    } catch (const std::exception& error) {
        return ReadyFuture(
            std::make_pair(static_cast<DWORD>(0xFFFFFFFF), CString(L"Error launching executable: ") + CString(error.what())));
    }
}

int FailureEventKind(const Package& package)
{
    return package.m_isMain && ConfigurationManager::GetInstance()->mainFailureCountsAsDone ? 3 : -1;
}

nlohmann::json FailureData(const char* prefix, const CString& message)
{
    return nlohmann::json{{"12", std::string(prefix) + win32::ToNarrow(message.str(), CP_UTF8)}};
}

void ReportOutcome(const std::shared_ptr<Package>& package, int kind, const nlohmann::json& data)
{
    if (!package)
        return;
    try {
        package->SendEvent(kind, data);
    } catch (const std::exception&) {
    }
}

CString InstallerFor(const CString& path, const CString& parentFolder)
{
    const int kind = DetectArchive(path);
    return kind != ArchiveNone ? PrepareInstaller(path, kind, parentFolder) : path;
}
