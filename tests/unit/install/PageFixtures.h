// Helpers of the page tests: a window that holds one real page as the frame does, the
// buttons and failures the page reports, the configuration fields the download and
// finish pages read and write, and the stand-in installer served for download.
#pragma once

#include "framework/CString.h"
#include "framework/CWnd.h"
#include "shell/ButtonType.h"
#include "shell/IPage.h"
#include "tests/common/TestSupport.h"

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class LanguageManager;
class Package;

namespace testing_support {

// A top-level window with a caption and a minimize box, the parent of one page.
class PageHost {
public:
    PageHost();
    ~PageHost();
    PageHost(const PageHost&) = delete;
    PageHost& operator=(const PageHost&) = delete;

    HWND Window() const { return m_window; }
    const std::shared_ptr<LanguageManager>& Texts() const { return m_texts; }

    // Makes the page's window and records what it reports.
    template <typename Page>
    std::unique_ptr<Page> Make()
    {
        auto page = std::make_unique<Page>(m_texts, &m_parent);
        page->CreatePage(&m_parent);
        page->SetButtonCallback([this](ButtonType type) { buttons.push_back(type); });
        page->SetErrorCallback([this](const CString& title, const CString& text) { errors.emplace_back(title, text); });
        return page;
    }
    // The page reported something: a button or a failure.
    bool Reported() const { return !buttons.empty() || !errors.empty(); }

    std::vector<ButtonType> buttons;
    std::vector<std::pair<CString, CString>> errors;

private:
    HWND m_window = nullptr;
    CWnd m_parent;
    std::shared_ptr<LanguageManager> m_texts;
};

// Handles this thread's messages until done() holds or the limit has passed; true
// when done() held.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
// Handles this thread's messages for a while.
void PumpFor(std::chrono::milliseconds time);

// The configuration as the download and finish pages see it, with a download folder
// and a working folder of the test's own; everything is put back at the end.
class PageConfiguration {
public:
    // sameFolder: the installer type, whose download folder is its working folder.
    explicit PageConfiguration(bool sameFolder = false);
    ~PageConfiguration();
    PageConfiguration(const PageConfiguration&) = delete;
    PageConfiguration& operator=(const PageConfiguration&) = delete;

    const CString& DownloadFolder() const { return m_download.Path(); }
    const CString& WorkingFolder() const { return m_working.Path(); }

private:
    TempFolder m_download;
    TempFolder m_working;
    CString m_savedDownload;
    CString m_savedWorking;
    CString m_savedProductUrl;
    CString m_savedFileName;
    CString m_savedArguments;
    bool m_savedCountsAsDone;
};

// The run's main package and an offer with a download address and arguments.
std::shared_ptr<Package> MainPackage();
std::shared_ptr<Package> OfferPackage(const std::string& code, const std::string& url, const std::string& arguments);

// The stand-in installer's bytes (tests/programs/FakeInstaller.cpp).
std::string FakeInstallerBytes();
// Waits (up to 10 s) for the marker of a program started without waiting; its command line.
std::string WaitForMarker(const CString& exePath);

} // namespace testing_support
