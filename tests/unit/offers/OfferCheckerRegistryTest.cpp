// The offer checks that read the registry, against keys and values written in both
// views: configured keys and values, App Paths entries, uninstall times, the Chrome
// candidates and the Internet Explorer version.
#include "config/ConfigurationManager.h"
#include "offers/RegistryAccess.h"
#include "tests/common/TestSupport.h"
#include "tests/unit/offers/OfferFixtures.h"
#include "tests/unit/offers/RegistryFixtures.h"

#include <chrono>
#include <cwctype>
#include <stdexcept>

using nlohmann::json;
using offers_testing::OfferCheckerTest;
using offers_testing::PlantedFile;
using offers_testing::ScratchKey;
using offers_testing::UniqueKeyName;
using offers_testing::LowerUtf8;
using offers_testing::NowSeconds;
using offers_testing::Utf8;

namespace {

struct Case {
    json ps;
    std::string expected;
};

// A vendor key below HKLM\Software in each view: App64 only in the 64-bit keys, App32
// only below Wow6432Node.
class OfferRegistryTest : public OfferCheckerTest {
protected:
    OfferRegistryTest()
        : m_name(UniqueKeyName()), m_vendor(LowerUtf8(m_name)),
          m_vendor64(HKEY_LOCAL_MACHINE, L"Software\\" + m_name, KEY_WOW64_64KEY),
          m_vendor32(HKEY_LOCAL_MACHINE, L"Software\\" + m_name, KEY_WOW64_32KEY),
          m_app64(HKEY_LOCAL_MACHINE, L"Software\\" + m_name + L"\\App64", KEY_WOW64_64KEY),
          m_app32(HKEY_LOCAL_MACHINE, L"Software\\" + m_name + L"\\App32", KEY_WOW64_32KEY)
    {
    }

    void Expect(const std::vector<Case>& cases)
    {
        for (const Case& c : cases)
            EXPECT_EQ(Verdict(c.ps), c.expected) << c.ps.dump();
    }

    std::wstring m_name;
    std::string m_vendor;
    ScratchKey m_vendor64;
    ScratchKey m_vendor32;
    ScratchKey m_app64;
    ScratchKey m_app32;
};

TEST_F(OfferRegistryTest, BlockingAndRequiredKeys)
{
    const std::string& v = m_vendor;
    const std::string exists = "REGISTRY KEY EXISTS";
    const std::string none = "NONE OF THE REGISTRY KEYS EXISTS";
    Expect({
        {{{"r", {v + "\\app64"}}}, exists},
        // Without a root the 32-bit keys are candidates too.
        {{{"r", {v + "\\app32"}}}, exists},
        {{{"r", {"hklm\\software\\wow6432node\\" + v + "\\app32"}}}, exists},
        {{{"r", {"hklm\\software\\" + v + "\\app32"}}}, "accepted"},
        {{{"r", {"hkey_local_machine\\software\\wow6432node\\" + v + "\\app64"}}}, "accepted"},
        {{{"r", {Utf8(L"HKLM\\Software\\" + m_name + L"\\App64")}}}, exists},
        {{{"r", {v + "\\missing", v + "\\app64"}}}, exists},
        {{{"r", {"hkey_local_machine\\system\\currentcontrolset"}}}, exists},
        // An empty first entry answers for the whole list: no key exists.
        {{{"r", {"", v + "\\app64"}}}, "accepted"},
        {{{"ir", {v + "\\missing", v + "\\app32"}}}, "accepted"},
        {{{"ir", {v + "\\missing"}}}, none},
        {{{"ir", {"", v + "\\app64"}}}, none},
        {{{"ir", json::array()}}, "accepted"},
    });
}

TEST_F(OfferRegistryTest, BlockingValues)
{
    m_app64.SetString(L"Flag", L"on").SetBinary(L"Blob", "\x01");
    m_app32.SetDword(L"Flag32", 1);
    const std::string& v = m_vendor;
    const std::string exists = "REGISTRY VALUE EXISTS";
    Expect({
        {{{"rvn", {v + "\\app64\\flag"}}}, exists},
        {{{"rvn", {v + "\\app64\\blob"}}}, exists},
        {{{"rvn", {v + "\\app32\\flag32"}}}, exists},
        {{{"rvn", {"hklm\\software\\" + v + "\\app32\\flag32"}}}, "accepted"},
        {{{"rvn", {v + "\\app64\\missing", v + "\\missing\\flag", v + "\\app64\\flag"}}}, exists},
        {{{"rvn", {v + "\\app64\\missing"}}}, "accepted"},
        // An entry without candidates ends the test.
        {{{"rvn", {"", v + "\\app64\\flag"}}}, "accepted"},
    });
}

TEST_F(OfferRegistryTest, BlockingValueDataByType)
{
    m_app64.SetString(L"Text", L"Hello World").SetDword(L"Number", 42).SetQword(L"Big", 5000000000ull)
        .SetString(L"Expand", L"abc", REG_EXPAND_SZ).SetBinary(L"Blob", "42");
    m_app32.SetString(L"Text32", L"Thirty-Two");
    const std::string a = m_vendor + "\\app64\\";
    const std::string matches = "REGISTRY VALUE DATA MATCHES";
    Expect({
        {{{"rvd", {a + "text\\hello world"}}}, matches},
        {{{"rvd", {a + "TEXT\\HELLO WORLD"}}}, matches},
        {{{"rvd", {a + "text\\hello"}}}, "accepted"},
        {{{"rvd", {a + "number\\42"}}}, matches},
        {{{"rvd", {a + "number\\43"}}}, "accepted"},
        {{{"rvd", {a + "big\\5000000000"}}}, matches},
        {{{"rvd", {a + "big\\705032704"}}}, "accepted"},
        // Data that is no number, or too large for the value, matches nothing; the load goes on.
        {{{"rvd", {a + "number\\abc"}}}, "accepted"},
        {{{"rvd", {a + "number\\99999999999"}}}, "accepted"},
        {{{"rvd", {a + "big\\abc", a + "number\\42"}}}, matches},
        // Other types never match.
        {{{"rvd", {a + "expand\\abc"}}}, "accepted"},
        {{{"rvd", {a + "blob\\42"}}}, "accepted"},
        {{{"rvd", {a + "missing\\42"}}}, "accepted"},
        {{{"rvd", {m_vendor + "\\app32\\text32\\thirty-two"}}}, matches},
        // An entry without candidates is skipped, unlike in the value test.
        {{{"rvd", {"", a + "number\\42"}}}, matches},
    });
}

TEST_F(OfferRegistryTest, MalformedPathsAndRootsEndTheLoad)
{
    bool stop = false;
    OfferChecker checker(10);
    EXPECT_THROW(checker.Evaluate(Offer({{"r", {"hklm\\software\\"}}}), stop), std::out_of_range);
    const json rule = {{"utr", "hkcu"}, {"utk", "software\\x"}, {"utvn", "t"}, {"utvt", "REG_DWORD"}, {"umd", 1}};
    EXPECT_THROW(checker.Evaluate(Offer({{"cmdu", {rule}}}), stop), std::out_of_range);
    EXPECT_FALSE(stop);
}

TEST_F(OfferCheckerTest, InstalledApplicationsFromAppPaths)
{
    testing_support::TempFolder folder;
    PlantedFile program(folder.File(L"program.exe"));
    const std::wstring id = UniqueKeyName();
    const std::wstring appPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
    auto entry = [&](HKEY root, REGSAM view, const std::wstring& name) {
        return std::make_unique<ScratchKey>(root, appPaths + name + L"-" + id + L".exe", view);
    };
    auto present = entry(HKEY_CURRENT_USER, KEY_WOW64_64KEY, L"present");
    present->SetString(L"", program.Path().str());
    auto gone = entry(HKEY_CURRENT_USER, KEY_WOW64_64KEY, L"gone");
    gone->SetString(L"", folder.File(L"gone.exe").str());
    // Listed only in the 32-bit keys of the machine.
    auto legacy = entry(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"legacy");
    legacy->SetString(L"", program.Path().str());
    auto empty = entry(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"empty");

    auto name = [&](const wchar_t* stem) { return LowerUtf8(stem + (L"-" + id) + L".exe"); };
    const std::string notFound = "REGISTRY INCLUDE APP NOT FOUND";
    const std::string found = "REGISTRY EXCLUDE APP FOUND";
    const std::vector<Case> cases = {
        {{{"iapp", {name(L"present")}}}, "accepted"},
        {{{"iapp", {name(L"legacy")}}}, "accepted"},
        {{{"iapp", {name(L"gone")}}}, notFound},
        {{{"iapp", {name(L"empty")}}}, notFound},
        {{{"iapp", {name(L"unknown")}}}, notFound},
        // Names are compared as configured.
        {{{"iapp", {Utf8(L"PRESENT-" + id + L".EXE")}}}, notFound},
        {{{"iapp", {name(L"present"), name(L"gone")}}}, notFound},
        {{{"eapp", {name(L"gone"), name(L"legacy")}}}, found},
        {{{"eapp", {name(L"present")}}}, found},
        {{{"eapp", {name(L"gone"), name(L"unknown")}}}, "accepted"},
        // Required ones are looked at first.
        {{{"iapp", {name(L"gone")}}, {"eapp", {name(L"present")}}}, notFound},
    };
    OfferChecker checker(100);
    int vertical = 0;
    for (const Case& c : cases) {
        json ps = c.ps;
        ps["v"] = vertical++;
        EXPECT_EQ(Verdict(checker, ps), c.expected) << c.ps.dump();
    }
    const OfferCheckCounts counts = checker.Counts();
    EXPECT_EQ(counts.appIndexBuilds, 1);

    // Entries resolve once each however often they are asked for, and an entry made
    // after the index was built belongs to the next load.
    auto late = entry(HKEY_CURRENT_USER, KEY_WOW64_64KEY, L"late");
    late->SetString(L"", program.Path().str());
    EXPECT_EQ(Verdict(checker, {{"iapp", {name(L"present"), name(L"legacy")}}, {"eapp", {name(L"gone")}}, {"v", 100}}),
              "accepted");
    EXPECT_EQ(Verdict(checker, {{"iapp", {name(L"late")}}, {"v", 101}}), notFound);
    EXPECT_EQ(checker.Counts().appPathResolutions, counts.appPathResolutions);
    EXPECT_EQ(checker.Counts().appIndexBuilds, 1);
    EXPECT_EQ(Verdict({{"iapp", {name(L"late")}}}), "accepted");
}

TEST_F(OfferRegistryTest, RecentUninstalls)
{
    const uint64_t dayAgo = NowSeconds() - 86400;
    ScratchKey times(HKEY_CURRENT_USER, L"Software\\" + m_name + L"\\Uninstall");
    times.SetDword(L"Seconds", static_cast<DWORD>(dayAgo)).SetQword(L"Millis", dayAgo * 1000)
        .SetDword(L"TenDaysAgo", static_cast<DWORD>(dayAgo - 9 * 86400)).SetString(L"Text", std::to_wstring(dayAgo))
        .SetString(L"Odd", L"abc").SetBinary(L"Blob", "\x01\x02\x03\x04");
    m_app32.SetDword(L"Removed", static_cast<DWORD>(dayAgo));

    const std::string key = "software\\" + m_vendor + "\\uninstall";
    auto rule = [](const std::string& root, const std::string& key, const std::string& value, int days,
                   bool millis = false) {
        json r = {{"utr", root}, {"utk", key}, {"utvn", value}, {"utvt", "REG_DWORD"}, {"umd", days}};
        if (millis)
            r["utms"] = true;
        return r;
    };
    const std::string cu = "hkey_current_user";
    const std::string recent = "MIN DAYS UNINSTALL CHECKER";
    Expect({
        {{{"cmdu", {rule(cu, key, "seconds", 2)}}}, recent},
        {{{"cmdu", {rule(cu, key, "seconds", 0)}}}, "accepted"},
        // Milliseconds with the flag behave like seconds without it.
        {{{"cmdu", {rule(cu, key, "millis", 2, true)}}}, recent},
        {{{"cmdu", {rule(cu, key, "millis", 0, true)}}}, "accepted"},
        {{{"cmdu", {rule(cu, key, "millis", 0)}}}, recent},
        {{{"cmdu", {rule(cu, key, "tendaysago", 5)}}}, "accepted"},
        {{{"cmdu", {rule(cu, key, "tendaysago", 20)}}}, recent},
        {{{"cmdu", {rule(cu, key, "text", 2)}}}, recent},
        {{{"cmdu", {rule("HKEY_CURRENT_USER", Utf8(L"Software\\" + m_name + L"\\Uninstall"), "Seconds", 2)}}}, recent},
        {{{"cmdu", {rule("hkey_local_machine", "software\\" + m_vendor + "\\app32", "removed", 2)}}}, recent},
        {{{"cmdu", {rule(cu, key, "seconds", 0), rule(cu, key, "tendaysago", 20)}}}, recent},
        // Values that cannot be read as a time pass the rule; the load goes on.
        {{{"cmdu", {rule(cu, key, "odd", 2)}}}, "accepted"},
        {{{"cmdu", {rule(cu, key, "blob", 2)}}}, "accepted"},
        {{{"cmdu", {rule(cu, key, "missing", 2)}}}, "accepted"},
    });
}

TEST_F(OfferCheckerTest, ChromeThroughEachOfItsCandidates)
{
    const FolderPlaceholderTable table = ConfigurationManager::GetInstance()->GetFolderPlaceholders();
    auto expand = [&](const wchar_t* path) { return ExpandFolderPlaceholders(path, table); };
    auto verdicts = [&] { return Verdict({{"x", 12}}) + " / " + Verdict({{"x", 13}}); };
    const std::string absent = "NO CHROME / accepted";
    const std::string present = "accepted / HAVE CHROME";

    EXPECT_EQ(verdicts(), absent);
    for (const wchar_t* candidate : {L"{commonpf}\\Chromium\\Application\\chrome.exe",
                                     L"{commonpf}\\Google\\Chrome\\Application\\chrome.exe",
                                     L"{localappdata}\\Chromium\\Application\\chrome.exe"}) {
        PlantedFile chrome(expand(candidate));
        EXPECT_EQ(verdicts(), present) << Utf8(chrome.Path().str());
    }
    {
        // A per-user Chrome is found only through the registry.
        PlantedFile chrome(expand(L"{localappdata}\\Google\\Chrome\\Application\\chrome.exe"));
        EXPECT_EQ(verdicts(), absent);
    }

    testing_support::TempFolder folder;
    {
        ScratchKey appPath(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe");
        appPath.SetString(L"Path", folder.Path().str());
        EXPECT_EQ(verdicts(), absent);
        PlantedFile chrome(folder.File(L"chrome.exe"));
        EXPECT_EQ(verdicts(), present);
    }
    PlantedFile beaconTarget(folder.File(L"browser.exe"));
    ScratchKey beacon(HKEY_CURRENT_USER, L"Software\\Google\\Chrome\\BLBeacon");
    beacon.SetString(L"Path", beaconTarget.Path().str());
    EXPECT_EQ(verdicts(), present);
    beacon.SetString(L"Path", folder.File(L"elsewhere.exe").str());
    EXPECT_EQ(verdicts(), absent);
}

TEST_F(OfferCheckerTest, InternetExplorerVersion)
{
    // Preset 2 asks for Chrome as well; it comes first.
    EXPECT_EQ(Verdict({{"x", 2}}), "NO CHROME");
    testing_support::TempFolder folder;
    PlantedFile chrome(folder.File(L"chrome.exe"));
    ScratchKey beacon(HKEY_CURRENT_USER, L"Software\\Google\\Chrome\\BLBeacon");
    beacon.SetString(L"Path", chrome.Path().str());

    // The version this system carries.
    SubkeyCache cache;
    std::wstring own;
    ASSERT_TRUE(ReadValueText(cache, L"hkey_local_machine", L"SOFTWARE\\Microsoft\\Internet Explorer", L"Version", own));
    EXPECT_GE(std::stof(own), 9.0f) << Utf8(own);
    EXPECT_EQ(Verdict({{"x", 2}}), "accepted");

    testing_support::RegistrySandbox machine(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(Verdict({{"x", 2}}), "accepted");
    ScratchKey ie(machine.Root(), L"SOFTWARE\\Microsoft\\Internet Explorer");
    EXPECT_EQ(Verdict({{"x", 2}}), "accepted");
    const std::vector<std::pair<const wchar_t*, std::string>> versions = {
        {L"8.0.7601.17514", "OLD IE VERSION"},
        {L"8.99", "OLD IE VERSION"},
        {L"9", "accepted"},
        {L"11.0.9600", "accepted"},
        // Not a number: it cannot be read, so it passes.
        {L"abc", "accepted"},
    };
    for (const auto& version : versions) {
        ie.SetString(L"Version", version.first);
        EXPECT_EQ(Verdict({{"x", 2}}), version.second) << Utf8(version.first);
    }
    ie.SetDword(L"Version", 8);
    EXPECT_EQ(Verdict({{"x", 2}}), "OLD IE VERSION");
}

} // namespace
