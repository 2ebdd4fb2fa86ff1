// Helpers of the download tests: the nginx file server of the test run, a window that
// collects the progress messages a download posts, and folders for the downloads.
#pragma once

#include "framework/CString.h"
#include "tests/common/TestSupport.h"

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// The file server started for the test run (scripts/services.d/nginx.sh).
class NginxFiles {
public:
    NginxFiles();
    bool Available() const { return !m_root.IsEmpty(); }
    // Writes a file below the served folder (relative path with '/').
    bool Put(const std::string& relative, const std::string& bytes) const;
    CString Http(const std::string& path) const;
    CString Https(const std::string& path) const;

private:
    CString m_root;
    std::string m_httpPort;
    std::string m_httpsPort;
};

// A message-only window on the test's thread: the download messages posted to it
// wait in the thread's queue until Drain takes them, in the order they were posted.
class ProgressWindow {
public:
    ProgressWindow();
    ~ProgressWindow();
    HWND Handle() const { return m_window; }
    // (message, wParam) of every download message waiting in the queue.
    std::vector<std::pair<UINT, WPARAM>> Drain();

private:
    HWND m_window = nullptr;
};

// Bytes that differ from one position to the next, so a shifted or cut copy shows.
std::string PatternBytes(size_t size, unsigned seed = 1);

} // namespace testing_support
