// The one object that fetches files and pictures over HTTP and HTTPS: WinHTTP first,
// WinINet as the second way for files, progress posted to the page that asked.
#pragma once

#include "framework/CString.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class DownloadManager : public std::enable_shared_from_this<DownloadManager> {
public:
    static std::shared_ptr<DownloadManager> GetInstance();

    DownloadManager() = default;
    ~DownloadManager();
    DownloadManager(const DownloadManager&) = delete;
    DownloadManager& operator=(const DownloadManager&) = delete;

    // Downloads url into a file of the working folder (toWorkingFolder) or of the
    // download folder, named fileName or, when that is empty, after the url. Posts
    // progress to hwnd. Never throws; (success, error text). The file takes its name
    // only when complete: a failure leaves a file of that name from before as it was.
    // With an expected SHA-256 digest (64 hexadecimal digits), a file of another digest
    // is a failed download.
    std::pair<bool, CString> Download(const CString& url, HWND hwnd, const CString& fileName, bool toWorkingFolder,
                                      const std::string& sha256 = std::string());
    // The second way, over WinINet; called by Download after the first way failed.
    std::pair<bool, CString> DownloadWithWinInet(const CString& url, HWND hwnd, const CString& fileName,
                                                 bool toWorkingFolder, const std::string& sha256 = std::string());

    // The body of url, empty when it could not be read or is longer than the bound.
    std::unique_ptr<std::vector<char>> DownloadToMemory(const CString& url);
    // The same read on the calling thread, until the transfer ends or fails: a cancel
    // stops it at its next chunk but cannot end a call WinHTTP is blocked in.
    std::unique_ptr<std::vector<char>> ReadToMemory(const CString& url);
    static constexpr size_t MaxMemoryDownloadBytes = 80u << 20;
    // ReadToMemory on a detached thread of its own (the manager must be held by a
    // std::shared_ptr); onDone gets the bytes, or null when the download was cancelled.
    // No second thread watches the cancel flag: nobody waits for a picture while the
    // wizard closes, and a thread start per picture costs milliseconds at the loading
    // page. A transfer stuck in WinHTTP calls back when WinHTTP gives up.
    // Throws std::system_error when no thread starts.
    void DownloadToMemoryAsync(const CString& url, std::function<void(std::unique_ptr<std::vector<char>>)> onDone);

    // The file to write, empty (after telling the user "Invalid path") when the folder
    // does not exist or no safe name can be made.
    CString TargetPathFromUrl(const CString& url, bool toWorkingFolder);
    CString TargetPathFromName(const CString& fileName, bool toWorkingFolder);

    static CString SystemErrorText(DWORD code);

    // Set when the user quits; every download in progress stops at its next chunk and
    // none starts afterwards. Never cleared.
    std::atomic<bool> m_cancel{false};
    // The file that the last successful file download wrote.
    CString m_lastFilePath;

    // How long the second way waits after the first failed. Tests shorten it.
    DWORD m_fallbackPauseMs = 2000;

private:
    CString TargetFolder(bool toWorkingFolder) const;
    CString TargetPath(const CString& url, const CString& fileName, bool toWorkingFolder);
    // The transfers of the two ways into path; they run on threads of their own.
    std::pair<bool, CString> DownloadWithWinHttp(const CString& url, HWND hwnd, const CString& path,
                                                 const std::string& sha256);
    std::pair<bool, CString> TransferWithWinInet(const CString& url, HWND hwnd, const CString& path,
                                                 const std::string& sha256);
};
