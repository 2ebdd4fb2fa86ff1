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
// The launch as a worker task; a task that cannot be started is a launch that failed.
std::future<std::pair<DWORD, CString>> StartLaunchTask(const CString& path, const CString& arguments, bool wait);

// The kind of a failure event: the main product's failure may count as done (3),
// everything else is a failure (-1).
int FailureEventKind(const Package& package);
// The data of a failure event: {"12": prefix + message}. The text goes out as UTF-8,
// so a system message in any language reaches the endpoint instead of being dropped.
nlohmann::json FailureData(const char* prefix, const CString& message);
// Sends an event; a post that cannot be started changes nothing in the page's work.
void ReportOutcome(const std::shared_ptr<Package>& package, int kind, const nlohmann::json& data);

// The working folder's program for a downloaded file (a zip archive is unpacked into
// parentFolder first).
CString InstallerFor(const CString& path, const CString& parentFolder);
