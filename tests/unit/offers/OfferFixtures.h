// What the offer check tests share: offers built from JSON as the loading page builds
// them, a verdict helper, programs started under a chosen name, and files planted in
// folders the checks look at.
#pragma once

#include "framework/CString.h"
#include "offers/OfferChecker.h"
#include "offers/Package.h"
#include "tests/common/ContentHostControl.h"
#include "win32/UniqueResource.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace offers_testing {

// ASCII or UTF-8 text for the JSON of an offer.
std::string Utf8(const std::wstring& text);
// The same, lower-cased first, as configured registry paths are compared.
std::string LowerUtf8(std::wstring text);
// The time now, in seconds since 1970 (uninstall times are stored so).
uint64_t NowSeconds();

class OfferCheckerTest : public testing::Test {
protected:
    void SetUp() override;
    // Every rejection posts an event; the posts end before the next test resets the host.
    void TearDown() override;

    // An offer with the three members every offer has plus the given "ps" members.
    std::shared_ptr<Package> Offer(const nlohmann::json& ps = nlohmann::json::object(),
                                   const std::string& code = "offer");
    // "accepted", "stopped" (the maximum ended the loop) or the rejection reason.
    std::string Verdict(OfferChecker& checker, const nlohmann::json& ps = nlohmann::json::object(),
                        const std::string& code = "offer");
    // The same with a checker of its own (maximum 10).
    std::string Verdict(const nlohmann::json& ps);

    testing_support::ContentHostControl m_host;
    std::vector<std::shared_ptr<Package>> m_packages;
};

// A copy of the test installer program started under the given file name in a folder;
// it is ended when the object goes.
class RunningProgram {
public:
    RunningProgram(const CString& folder, const wchar_t* fileName);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

private:
    win32::unique_handle m_process;
};

// A file made at a path together with the folders it needs; removed with exactly the
// folders it made.
class PlantedFile {
public:
    explicit PlantedFile(const CString& path);
    ~PlantedFile();
    PlantedFile(const PlantedFile&) = delete;
    PlantedFile& operator=(const PlantedFile&) = delete;
    const CString& Path() const { return m_path; }

private:
    CString m_path;
    std::vector<CString> m_madeFolders;
};

// The folder this test program runs from.
CString ProgramFolder();

} // namespace offers_testing
