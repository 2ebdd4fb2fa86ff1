// What the download pages share: the tasks they start (a download, a launch) and the
// events that report each package's outcome.
#pragma once

#include "framework/CString.h"

#include <nlohmann/json.hpp>

#include <future>
#include <memory>
#include <string>
#include <utility>

class Package;

// The download as a worker task; a task that cannot be started is a failed download.
// With an expected SHA-256 digest, a file of another digest is a failed download.
std::future<std::pair<bool, CString>> StartDownloadTask(const CString& url, HWND window, const CString& fileName,
                                                        bool toWorkingFolder, const std::string& sha256);
// What an installer task ends with: the program it started (for a zip archive, the
// archive's program) and the launch's exit code and message (LaunchExecutable's).
struct InstallerRun {
    CString path;
    DWORD code = 0xFFFFFFFF;
    CString message;
};
// A downloaded file made ready and started as a worker task: a zip archive is unpacked
// into parentFolder first, then the program runs with the arguments and, with wait, is
// waited for. The window that polls the task goes on answering while an archive of any
// size is unpacked. Nothing is started once the user has quit; a task that cannot be
// started is a launch that failed.
std::future<InstallerRun> StartInstallerTask(const CString& downloaded, const CString& parentFolder,
                                             const CString& arguments, bool wait);

// The kind of a failure event: the main product's failure may count as done (3),
// everything else is a failure (-1).
int FailureEventKind(const Package& package);
// The data of a failure event: {"12": prefix + message}. The text goes out as UTF-8,
// so a system message in any language reaches the endpoint instead of being dropped.
nlohmann::json FailureData(const char* prefix, const CString& message);
// Sends an event; a post that cannot be started changes nothing in the page's work.
void ReportOutcome(const std::shared_ptr<Package>& package, int kind, const nlohmann::json& data);

// The working folder's program for a downloaded file (a zip archive is unpacked into
// parentFolder first). Takes as long as the unpacking: called on the installer task.
CString InstallerFor(const CString& path, const CString& parentFolder);
