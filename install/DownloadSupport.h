// Pieces that both download ways share: the error they carry, the target file they
// write, and the progress messages they post to the page's window.
#pragma once

#include "framework/CString.h"
#include "win32/UniqueResource.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

namespace download {

// A failed step of a download. The text stays wide, so names outside the ANSI code
// page survive until the result is built.
class DownloadError : public std::runtime_error {
public:
    explicit DownloadError(const CString& text) : std::runtime_error(ToAnsi(text)), m_text(text) {}
    const CString& Text() const noexcept { return m_text; }

private:
    CString m_text;
};

// Throws DownloadError with the format filled by the error code and its system text
// ("...: %d - %s").
[[noreturn]] void FailWithCode(const wchar_t* format, DWORD code);
[[noreturn]] void Fail(const CString& text);

// The file a download writes. The bytes go to a file of their own next to the target,
// the target's name with ".part" appended, opened exclusively once the response has
// arrived; only a complete download takes the target's name (Commit). So a failed or
// cancelled download leaves a file of that name from before as it was, and a
// half-written file never stands under the real name. Whatever was not committed is
// removed when the object goes.
class TargetFile {
public:
    TargetFile() = default;
    ~TargetFile() { Discard(); }
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    // Opens the temporary file for path; afterwards IsOpen and OpenError tell how that went.
    void Open(const CString& path);
    bool IsOpen() const { return m_file.is_valid(); }
    DWORD OpenError() const { return m_openError; }
    // Where the bytes are written until the download is complete.
    const CString& PartPath() const { return m_partPath; }
    void Write(const void* data, DWORD size);
    // Closes the temporary file and keeps it (for the size test).
    void Close() { m_file.reset(); }
    // Puts the written file in the place of the target, replacing what stood there;
    // throws DownloadError when that fails. With an expected SHA-256 digest, a file of
    // another digest is removed instead, and the mismatch thrown.
    void Commit(const std::string& expectedSha256 = std::string());
    // Closes and removes the temporary file.
    void Discard();

private:
    win32::unique_hfile m_file;
    DWORD m_openError = 0;
    CString m_path;
    CString m_partPath;
};

// The size of the file at path, or false when it cannot be opened.
bool ReadFileSize(const CString& path, uint64_t& size);

// The message of a body shorter or longer than announced.
CString IncompleteMessage(uint64_t announced, uint64_t written);

// Posts WM_USER + 1 each time the download has advanced by more than one percentage
// point. Without an announced length the fraction is unbounded: one message above 100
// goes out (the page shows a marquee) and no more after it.
class ProgressReporter {
public:
    ProgressReporter(HWND window, bool lengthKnown, uint64_t length)
        : m_window(window), m_lengthKnown(lengthKnown), m_length(length) {}
    void Advance(uint64_t bytes);
    // The closing message (wParam 1) of a download whose announced length was not zero.
    void Finish();

private:
    HWND m_window;
    bool m_lengthKnown;
    uint64_t m_length;
    double m_fraction = 0.0;
    double m_lastReported = 0.0;
    bool m_unbounded = false;
};

// Tells the window that the response has no readable length.
void PostLengthUnavailable(HWND window);

// Runs work on a thread of its own and waits for it while watching the cancel flag.
// A blocking WinHTTP or WinINet call cannot be interrupted (a server that takes the
// request and never answers holds it for good), so once the flag is set the wait ends
// with onCancel and the thread is left to finish by itself, keeping keepAlive (the
// owner of what it uses) alive. Without an owner, or without a thread, work runs here.
// work must not throw.
template <typename Result>
Result RunUnlessCancelled(std::function<Result()> work, const std::atomic<bool>& cancel, Result onCancel,
                          std::shared_ptr<const void> keepAlive)
{
    struct Shared {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        Result result{};
    };
    if (!keepAlive)
        return work();
    if (cancel)
        return onCancel;
    auto shared = std::make_shared<Shared>();
    auto task = std::make_shared<std::function<Result()>>(std::move(work));
    try {
        std::thread([shared, task, keepAlive]() {
            Result result{};
            try {
                result = (*task)();
            } catch (...) {
                // work reports its failures in its result; nothing may leave a thread.
            }
            std::lock_guard<std::mutex> guard(shared->lock);
            shared->result = std::move(result);
            shared->finished = true;
            shared->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return (*task)();
    }
    std::unique_lock<std::mutex> guard(shared->lock);
    while (!shared->finished) {
        if (cancel)
            return onCancel;
        shared->done.wait_for(guard, std::chrono::milliseconds(50));
    }
    return std::move(shared->result);
}

} // namespace download
