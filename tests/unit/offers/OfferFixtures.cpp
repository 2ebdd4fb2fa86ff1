#include "tests/unit/offers/OfferFixtures.h"

#include "net/AnalyticsEvents.h"
#include "net/CommonEventData.h"
#include "tests/common/TestSupport.h"
#include "win32/TextConversion.h"

#include <shlwapi.h>

#include <chrono>
#include <cwctype>
#include <stdexcept>

namespace offers_testing {

std::string LowerUtf8(std::wstring text)
{
    for (auto& ch : text)
        ch = static_cast<wchar_t>(towlower(ch));
    return Utf8(text);
}

uint64_t NowSeconds()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

std::string Utf8(const std::wstring& text)
{
    return win32::ToNarrow(text, CP_UTF8);
}

void OfferCheckerTest::SetUp()
{
    ASSERT_TRUE(m_host.Available()) << "the content host does not answer";
    m_host.Reset();
    // A post that fails while a test has redirected a registry root tries again soon.
    SetEventRetryPauseForTesting(200);
}

void OfferCheckerTest::TearDown()
{
    for (const auto& package : m_packages)
        package->WaitForEvents();
    SetEventRetryPauseForTesting(0);
}

std::shared_ptr<Package> OfferCheckerTest::Offer(const nlohmann::json& ps, const std::string& code)
{
    nlohmann::json members = {{"i", "img/offer.png"}, {"dn", "Offer " + code}, {"u", "offer.exe"}};
    if (ps.is_object())
        members.update(ps);
    const nlohmann::json offer = {{"ad", {{"f", "feed"}, {"o", code}}}, {"ps", members}};
    auto package = std::make_shared<Package>(BuildCommonEventData(), offer, false, std::string(), 0);
    m_packages.push_back(package);
    return package;
}

std::string OfferCheckerTest::Verdict(OfferChecker& checker, const nlohmann::json& ps, const std::string& code)
{
    bool stop = false;
    const bool accepted = checker.Evaluate(Offer(ps, code), stop);
    if (stop)
        return accepted ? "accepted, yet stopped" : "stopped";
    return accepted ? "accepted" : checker.LastReason();
}

std::string OfferCheckerTest::Verdict(const nlohmann::json& ps)
{
    OfferChecker checker(10);
    return Verdict(checker, ps);
}

CString ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    PathRemoveFileSpecW(path);
    return CString(path);
}

RunningProgram::RunningProgram(const CString& folder, const wchar_t* fileName)
{
    const CString path = folder + L"\\" + fileName;
    if (!CopyFileW(ProgramFolder() + L"\\fake_installer.exe", path, FALSE))
        throw std::runtime_error("the test installer could not be copied");
    CString commandLine = L"\"" + path + L"\" sleep=120000";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(path, commandLine.GetBuffer(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &info))
        throw std::runtime_error("the test installer could not be started");
    commandLine.ReleaseBuffer();
    win32::unique_handle thread(info.hThread);
    m_process.reset(info.hProcess);
}

RunningProgram::~RunningProgram()
{
    TerminateProcess(m_process.get(), 0);
    WaitForSingleObject(m_process.get(), 10000);
}

PlantedFile::PlantedFile(const CString& path) : m_path(path)
{
    // Make the missing folders from the outermost one inwards.
    std::vector<CString> missing;
    CString folder = path.Left(path.ReverseFind(L'\\'));
    while (folder.GetLength() > 3 && !PathFileExistsW(folder)) {
        missing.push_back(folder);
        folder = folder.Left(folder.ReverseFind(L'\\'));
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (CreateDirectoryW(*it, nullptr))
            m_madeFolders.push_back(*it);
    }
    if (!testing_support::WriteFileBytes(path, "MZ"))
        throw std::runtime_error("a test file could not be written");
}

PlantedFile::~PlantedFile()
{
    DeleteFileW(m_path);
    for (auto it = m_madeFolders.rbegin(); it != m_madeFolders.rend(); ++it)
        RemoveDirectoryW(*it);
}

} // namespace offers_testing
