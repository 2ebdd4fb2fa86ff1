#include "PageFixtures.h"

#include "InstallFixtures.h"
#include "config/ConfigurationManager.h"
#include "install/DownloadManager.h"
#include "locale/LanguageManager.h"
#include "net/CommonEventData.h"
#include "offers/Package.h"
#include "tests/unit/shell/GuiTestSupport.h"

#include <thread>

namespace testing_support {

PageHost::PageHost()
{
    gui_test::PrepareProcess();
    m_window = CreateWindowExW(0, L"Static", L"Page host", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                               700, 500, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    m_parent.Attach(m_window);
    m_texts = std::make_shared<LanguageManager>(nullptr);
}

PageHost::~PageHost()
{
    m_parent.Detach();
    DestroyWindow(m_window);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        gui_test::Pump();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

void PumpFor(std::chrono::milliseconds time)
{
    PumpUntil([] { return false; }, time);
}

PageConfiguration::PageConfiguration(bool sameFolder)
{
    auto configuration = ConfigurationManager::GetInstance();
    m_savedDownload = configuration->downloadFolder;
    m_savedWorking = configuration->workingFolder;
    m_savedProductUrl = configuration->productUrl;
    m_savedFileName = configuration->productFileName;
    m_savedArguments = configuration->installerArguments;
    m_savedCountsAsDone = configuration->mainFailureCountsAsDone;
    configuration->downloadFolder = sameFolder ? m_working.Path() : m_download.Path();
    configuration->workingFolder = m_working.Path();
    configuration->mainPackage.reset();
    configuration->acceptedPackages.clear();
    configuration->downloadedFilePath.Empty();
    configuration->installerArguments.Empty();
    configuration->closing = false;
    configuration->btClassicMode = false;
    configuration->optionFlags.fill(false);
    configuration->mainFailureCountsAsDone = true;
    // A failed first way is followed at once by the second.
    DownloadManager::GetInstance()->m_fallbackPauseMs = 0;
}

PageConfiguration::~PageConfiguration()
{
    auto configuration = ConfigurationManager::GetInstance();
    configuration->downloadFolder = m_savedDownload;
    configuration->workingFolder = m_savedWorking;
    configuration->productUrl = m_savedProductUrl;
    configuration->productFileName = m_savedFileName;
    configuration->installerArguments = m_savedArguments;
    configuration->mainFailureCountsAsDone = m_savedCountsAsDone;
    configuration->mainPackage.reset();
    configuration->acceptedPackages.clear();
    configuration->downloadedFilePath.Empty();
    configuration->closing = false;
    configuration->btClassicMode = false;
    configuration->optionFlags.fill(false);
    auto manager = DownloadManager::GetInstance();
    manager->m_cancel = false;
    manager->m_fallbackPauseMs = 2000;
}

std::shared_ptr<Package> MainPackage()
{
    return std::make_shared<Package>(BuildCommonEventData(), true, CString(), CString(), CString(), CString(), 0);
}

std::shared_ptr<Package> OfferPackage(const std::string& code, const std::string& url, const std::string& arguments)
{
    nlohmann::json ps = {{"i", "img/notes.png"}, {"dn", "Offer " + code}, {"u", url}};
    if (!arguments.empty())
        ps["p"] = arguments;
    const nlohmann::json offer = {{"ad", {{"f", "feed-" + code}, {"o", code}}}, {"ps", ps}};
    return std::make_shared<Package>(BuildCommonEventData(), offer, false, std::string(), 0);
}

std::string FakeInstallerBytes()
{
    return ReadFileBytes(FakeInstallerPath());
}

std::string WaitForMarker(const CString& exePath)
{
    std::string marker;
    for (int i = 0; i < 200 && (marker = ReadMarker(exePath)).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return marker;
}

} // namespace testing_support
