#include "install/PackageOutcome.h"

#include "config/ConfigurationManager.h"
#include "install/DownloadManager.h"
#include "install/InstallerPreparation.h"
#include "install/ProgramLauncher.h"
#include "offers/Package.h"
#include "win32/TextConversion.h"

#include <exception>
#include <tuple>

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

std::future<InstallerRun> StartInstallerTask(const CString& downloaded, const CString& parentFolder,
                                             const CString& arguments, bool wait)
{
    try {
        auto manager = DownloadManager::GetInstance();
        return std::async(std::launch::async, [manager, downloaded, parentFolder, arguments, wait] {
            InstallerRun run;
            try {
                run.path = InstallerFor(downloaded, parentFolder);
                // The user may have quit while the archive was unpacked.
                if (manager->m_cancel) {
                    run.message = L"Cancelled.";
                    return run;
                }
                std::tie(run.code, run.message) = LaunchExecutable(run.path, arguments, wait);
            } catch (const std::exception& error) {
                run.message = CString(L"Error launching executable: ") + CString(error.what());
            }
            return run;
        });
    } catch (const std::exception& error) {
        InstallerRun run;
        run.path = downloaded;
        run.message = CString(L"Error launching executable: ") + CString(error.what());
        return ReadyFuture(run);
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
