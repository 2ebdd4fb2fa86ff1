// The offer checks on this machine: the rules across offers, the order of the checks,
// machine size, versions, files and running programs, the caching of machine facts
// within one load, and the rejection events as the content host stores them.
#include "config/ConfigurationManager.h"
#include "config/SystemFacts.h"
#include "tests/common/TestSupport.h"
#include "tests/unit/offers/OfferFixtures.h"
#include "tests/unit/offers/RegistryFixtures.h"

#include <chrono>
#include <map>
#include <cwctype>

using nlohmann::json;
using offers_testing::OfferCheckerTest;
using offers_testing::PlantedFile;
using offers_testing::RunningProgram;
using offers_testing::ScratchKey;
using offers_testing::UniqueKeyName;
using offers_testing::LowerUtf8;
using offers_testing::NowSeconds;
using offers_testing::Utf8;

namespace {

// Puts a program version in place of the wizard's own for one test.
class ProgramVersionGuard {
public:
    explicit ProgramVersionGuard(const wchar_t* version)
        : m_configuration(ConfigurationManager::GetInstance()), m_saved(m_configuration->programVersion)
    {
        m_configuration->programVersion = version;
    }
    ~ProgramVersionGuard() { m_configuration->programVersion = m_saved; }

private:
    std::shared_ptr<ConfigurationManager> m_configuration;
    CString m_saved;
};

TEST_F(OfferCheckerTest, TheMaximumEndsTheLoopWithoutAnEvent)
{
    OfferChecker checker(2);
    EXPECT_EQ(Verdict(checker, {{"v", 1}}, "first"), "accepted");
    EXPECT_EQ(Verdict(checker, {{"v", 2}}, "second"), "accepted");
    EXPECT_EQ(Verdict(checker, {{"v", 3}}, "third"), "stopped");

    OfferChecker none(0);
    EXPECT_EQ(Verdict(none, {}, "fourth"), "stopped");

    for (const auto& package : m_packages)
        package->WaitForEvents();
    EXPECT_TRUE(m_host.Events().empty()) << m_host.Events().dump();
}

TEST_F(OfferCheckerTest, OneOfferPerVertical)
{
    struct Case {
        json first;
        json second;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{{"v", 5}}, {{"v", 5}}, "SAME VERTICAL OFFER ALREADY PRESENT"},
        {{{"v", -1}}, {{"v", -1}}, "MULTIPLE OFFERS W/O VERTICAL"},
        // Offers without a vertical all share vertical 0.
        {json::object(), json::object(), "SAME VERTICAL OFFER ALREADY PRESENT"},
        {{{"v", 5}}, {{"v", 6}}, "accepted"},
        {{{"v", -1}}, {{"v", 0}}, "accepted"},
    };
    for (const Case& c : cases) {
        OfferChecker checker(10);
        EXPECT_EQ(Verdict(checker, c.first), "accepted");
        EXPECT_EQ(Verdict(checker, c.second), c.expected) << c.first.dump() << " then " << c.second.dump();
    }

    // A rejected offer does not take its vertical.
    OfferChecker checker(10);
    EXPECT_EQ(Verdict(checker, {{"v", 5}, {"ov", 64}}), "UNSUPPORTED OS VERSION");
    EXPECT_EQ(Verdict(checker, {{"v", 5}}), "accepted");
}

TEST_F(OfferCheckerTest, AnExclusiveOfferOnlyAsTheFirstAccepted)
{
    OfferChecker first(10);
    EXPECT_EQ(Verdict(first, {{"ov", 64}, {"v", 1}}), "UNSUPPORTED OS VERSION");
    EXPECT_EQ(Verdict(first, {{"exc", true}, {"v", 2}}), "accepted");

    OfferChecker later(10);
    EXPECT_EQ(Verdict(later, {{"v", 1}}), "accepted");
    EXPECT_EQ(Verdict(later, {{"exc", true}, {"v", 2}}), "EXCLUSIVE, BUT ANOTHER OFFER ALREADY PRESENT");
    // The vertical is looked at first.
    EXPECT_EQ(Verdict(later, {{"exc", true}, {"v", 1}}), "SAME VERTICAL OFFER ALREADY PRESENT");
}

// One offer that fails every check at once is rejected for the earliest; taking its
// requirements away one by one walks through the checks in their order.
TEST_F(OfferCheckerTest, ChecksRunInTheirOrder)
{
    testing_support::TempFolder folder;
    PlantedFile present(folder.File(L"present.txt"));
    PlantedFile app(folder.File(L"app.exe"));
    const std::wstring name = UniqueKeyName();
    ScratchKey vendor(HKEY_CURRENT_USER, L"Software\\" + name);
    vendor.SetString(L"Flag", L"On").SetDword(L"Removed", static_cast<DWORD>(NowSeconds()));
    const std::wstring appName = L"orvane-" + name + L".exe";
    ScratchKey appPath(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + appName);
    appPath.SetString(L"", app.Path().str());

    const std::string key = "hkcu\\software\\" + LowerUtf8(name);
    struct Step {
        const char* member;
        json value;
        std::string reason;
    };
    const json uninstall = {{"utr", "hkey_current_user"}, {"utk", "software\\" + LowerUtf8(name)},
                            {"utvn", "removed"}, {"utvt", "REG_DWORD"}, {"umd", 3}};
    const std::vector<Step> steps = {
        {"v", 7, "SAME VERTICAL OFFER ALREADY PRESENT"},
        {"exc", true, "EXCLUSIVE, BUT ANOTHER OFFER ALREADY PRESENT"},
        {"r", {key}, "REGISTRY KEY EXISTS"},
        {"ir", {key + "\\missing"}, "NONE OF THE REGISTRY KEYS EXISTS"},
        {"rvn", {key + "\\flag"}, "REGISTRY VALUE EXISTS"},
        {"rvd", {key + "\\flag\\on"}, "REGISTRY VALUE DATA MATCHES"},
        {"disk", 1ull << 40, "NOT ENOUGH DISK SPACE"},
        {"ram", 1ull << 40, "NOT ENOUGH RAM"},
        {"cpu", 1ull << 40, "NOT ENOUGH CPU"},
        {"ov", 64, "UNSUPPORTED OS VERSION"},
        {"pv", "999", "UNSUPPORTED PLATFORM VERSION"},
        {"fe", {Utf8(present.Path().str())}, "FILE EXISTS"},
        {"ife", {Utf8(folder.File(L"missing.txt").str())}, "NONE OF THE FILES EXISTS"},
        {"a", {"unit_offers"}, "APPLICATION RUNNING"},
        {"iapp", {"no-such-program.exe"}, "REGISTRY INCLUDE APP NOT FOUND"},
        {"eapp", {LowerUtf8(appName)}, "REGISTRY EXCLUDE APP FOUND"},
        {"cmdu", json::array({uninstall}), "MIN DAYS UNINSTALL CHECKER"},
        {"x", 12, "NO CHROME"},
    };

    OfferChecker checker(2);
    ASSERT_EQ(Verdict(checker, {{"v", 7}}), "accepted");
    json ps = json::object();
    for (const Step& step : steps)
        ps[step.member] = step.value;
    for (const Step& step : steps) {
        EXPECT_EQ(Verdict(checker, ps), step.reason) << "with " << step.member;
        ps.erase(step.member);
    }
    EXPECT_EQ(Verdict(checker, ps), "accepted");
    EXPECT_EQ(Verdict(checker, ps), "stopped");
}

TEST_F(OfferCheckerTest, MachineSizeAgainstThisMachine)
{
    OfferChecker checker(100);
    EXPECT_EQ(Verdict(checker, {{"disk", 1}, {"ram", 1}, {"cpu", 1}, {"v", 1}}), "accepted");
    EXPECT_EQ(Verdict(checker, {{"disk", 1ull << 40}}), "NOT ENOUGH DISK SPACE");
    EXPECT_EQ(Verdict(checker, {{"ram", 1ull << 40}}), "NOT ENOUGH RAM");
    EXPECT_EQ(Verdict(checker, {{"cpu", 1000000}}), "NOT ENOUGH CPU");

    const OfferCheckCounts counts = checker.Counts();
    EXPECT_EQ(counts.diskQueries, 1);
    EXPECT_EQ(counts.memoryQueries, 1);
    EXPECT_EQ(counts.processorQueries, 1);
}

TEST_F(OfferCheckerTest, FreeDiskSpaceIsCountedInWholeMebibytes)
{
    std::vector<std::wstring> roots;
    int failures = 1;
    MachineQueries queries = MachineQueries::System();
    queries.diskFreeSpace = [&](LPCWSTR root, PULARGE_INTEGER available) -> BOOL {
        roots.push_back(root);
        if (failures-- > 0) {
            SetLastError(ERROR_NOT_READY);
            return FALSE;
        }
        available->QuadPart = 500ull * 1048576 - 104858; // 499.9 MiB
        return TRUE;
    };
    OfferChecker checker(10);
    checker.SetMachineQueriesForTesting(queries);

    // A failed query is not kept: the next offer asks again, and then the answer is kept.
    EXPECT_EQ(Verdict(checker, {{"disk", 1}}), "DISK SPACE CHECK FAILED 21");
    EXPECT_EQ(Verdict(checker, {{"disk", 500}}), "NOT ENOUGH DISK SPACE");
    EXPECT_EQ(Verdict(checker, {{"disk", 499}}), "accepted");
    ASSERT_EQ(roots.size(), 2u);
    // The drive root of the default user's desktop, such as C:\.
    EXPECT_EQ(roots[0].size(), 3u);
    EXPECT_EQ(roots[0].substr(1), L":\\");
}

TEST_F(OfferCheckerTest, AFailedMemoryQueryIsAskedAgain)
{
    int calls = 0;
    MachineQueries queries = MachineQueries::System();
    queries.memoryStatus = [&](LPMEMORYSTATUSEX status) -> BOOL {
        if (++calls == 1 || status->dwLength != 64) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        status->ullTotalPhys = 2048ull * 1048576 + 1048575;
        return TRUE;
    };
    OfferChecker checker(10);
    checker.SetMachineQueriesForTesting(queries);
    EXPECT_EQ(Verdict(checker, {{"ram", 1}}), "RAM CHECK FAILED 87");
    EXPECT_EQ(Verdict(checker, {{"ram", 2049}}), "NOT ENOUGH RAM");
    EXPECT_EQ(Verdict(checker, {{"ram", 2048}}), "accepted");
    EXPECT_EQ(calls, 2);
}

TEST_F(OfferCheckerTest, ProcessorSpeedFromTheRegistry)
{
    testing_support::RegistrySandbox machine(HKEY_LOCAL_MACHINE);
    OfferChecker checker(10);
    EXPECT_EQ(Verdict(checker, {{"cpu", 1}}), "CPU CHECK FAILED: Couldn't open registry");

    ScratchKey processor(machine.Root(), L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0");
    EXPECT_EQ(Verdict(checker, {{"cpu", 1}}), "CPU CHECK FAILED: Couldn't read value");

    processor.SetDword(L"~MHz", 2400);
    EXPECT_EQ(Verdict(checker, {{"cpu", 2401}}), "NOT ENOUGH CPU");
    // Kept for the rest of the load.
    processor.SetDword(L"~MHz", 9000);
    EXPECT_EQ(Verdict(checker, {{"cpu", 2401}}), "NOT ENOUGH CPU");
    EXPECT_EQ(Verdict(checker, {{"cpu", 2400}}), "accepted");
    EXPECT_EQ(checker.Counts().processorQueries, 3);
}

TEST_F(OfferCheckerTest, WindowsVersions)
{
    // Whatever this system is, 6.1 and later passes and an unknown number never does.
    EXPECT_EQ(Verdict({{"ov", 61}}), "accepted");
    EXPECT_EQ(Verdict({{"ov", 64}}), "UNSUPPORTED OS VERSION");

    // As Windows 8.1 would answer.
    SetVersionCheckForTesting([](DWORD major, DWORD minor, WORD) { return major < 6 || (major == 6 && minor <= 3); });
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "accepted"},  {-3, "accepted"}, {61, "accepted"}, {62, "accepted"},
        {63, "accepted"}, {100, "UNSUPPORTED OS VERSION"},    {7, "UNSUPPORTED OS VERSION"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Verdict({{"ov", c.first}}), c.second) << c.first;
    SetVersionCheckForTesting(nullptr);
}

TEST_F(OfferCheckerTest, WizardVersions)
{
    struct Case {
        const wchar_t* own;
        const char* required;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {L"1.2.0.5", "1.2", "accepted"},
        {L"1.2.0.5", "1.2.0.5", "accepted"},
        {L"1.2.0.5", "1.2.0.6", "UNSUPPORTED PLATFORM VERSION"},
        {L"1.9.9", "1.10", "UNSUPPORTED PLATFORM VERSION"},
        {L"1.10", "1.9.9", "accepted"},
        {L"1.99", "2", "UNSUPPORTED PLATFORM VERSION"},
        {L"3.0.13.11201", "3.0.13.11201", "accepted"},
        {L"3.0.13.11201", "", "accepted"},
    };
    for (const Case& c : cases) {
        ProgramVersionGuard version(c.own);
        EXPECT_EQ(Verdict({{"pv", c.required}}), c.expected) << Utf8(c.own) << " against " << c.required;
    }
}

TEST_F(OfferCheckerTest, BlockingAndRequiredFiles)
{
    testing_support::TempFolder folder;
    PlantedFile here(folder.File(L"here.dll"));
    const std::string present = Utf8(here.Path().str());
    const std::string absent = Utf8(folder.File(L"absent.dll").str());

    EXPECT_EQ(Verdict({{"fe", {absent, present}}}), "FILE EXISTS");
    EXPECT_EQ(Verdict({{"fe", {absent}}}), "accepted");
    EXPECT_EQ(Verdict({{"fe", {Utf8(folder.Path().str())}}}), "FILE EXISTS");
    EXPECT_EQ(Verdict({{"ife", {absent}}}), "NONE OF THE FILES EXISTS");
    EXPECT_EQ(Verdict({{"ife", {absent, present}}}), "accepted");
    EXPECT_EQ(Verdict({{"ife", json::array()}}), "accepted");
}

TEST_F(OfferCheckerTest, RunningProgramsByNameWithOrWithoutExtension)
{
    testing_support::TempFolder folder;
    auto tool = std::make_unique<RunningProgram>(folder.Path(), L"setup.tool.exe");
    OfferChecker toolOnly(100);
    const std::vector<std::pair<const char*, std::string>> toolCases = {
        {"setup", "accepted"},
        {"setup.tool", "APPLICATION RUNNING"},
        {"setup.tool.exe", "APPLICATION RUNNING"},
        {"SETUP.TOOL", "APPLICATION RUNNING"},
        {"tool.exe", "accepted"},
    };
    for (size_t i = 0; i < toolCases.size(); ++i) {
        EXPECT_EQ(Verdict(toolOnly, {{"a", {toolCases[i].first}}, {"v", i}}), toolCases[i].second)
            << toolCases[i].first;
    }

    // The list is taken once per load: setup.exe started now is seen by a new load only.
    RunningProgram setup(folder.Path(), L"setup.exe");
    EXPECT_EQ(Verdict(toolOnly, {{"a", {"setup"}}, {"v", 10}}), "accepted");
    EXPECT_EQ(toolOnly.Counts().processSnapshots, 1);

    OfferChecker both(100);
    const std::vector<std::pair<const char*, std::string>> bothCases = {
        {"setup", "APPLICATION RUNNING"},
        {"setup.exe", "APPLICATION RUNNING"},
        {"setup.ex", "accepted"},
    };
    for (size_t i = 0; i < bothCases.size(); ++i)
        EXPECT_EQ(Verdict(both, {{"a", {bothCases[i].first}}, {"v", i}}), bothCases[i].second) << bothCases[i].first;
    tool.reset();
}

TEST_F(OfferCheckerTest, MachineFactsAreGatheredOncePerLoad)
{
    testing_support::TempFolder folder;
    PlantedFile app(folder.File(L"tool.exe"));
    const std::wstring name = UniqueKeyName();
    const std::wstring appName = L"orvane-" + name + L".exe";
    ScratchKey appPath(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + appName);
    appPath.SetString(L"", app.Path().str());

    json keys = json::array();
    for (int i = 0; i < 10; ++i)
        keys.push_back("vendor-" + std::to_string(i) + "\\product");
    const json ps = {{"r", keys}, {"ir", {"microsoft\\windows"}}, {"a", {"no-such-program"}},
                     {"iapp", {LowerUtf8(appName)}}, {"eapp", {"no-such-program.exe"}}, {"disk", 1},
                     {"ram", 1}, {"cpu", 1}};

    OfferChecker checker(100);
    json first = ps;
    first["v"] = 0;
    ASSERT_EQ(Verdict(checker, first), "accepted");
    const OfferCheckCounts once = checker.Counts();
    for (int i = 1; i < 8; ++i) {
        json next = ps;
        next["v"] = i;
        ASSERT_EQ(Verdict(checker, next), "accepted");
    }
    const OfferCheckCounts after = checker.Counts();
    // Both roots in both views, each enumerated once.
    EXPECT_EQ(once.subkeyEnumerations, 4);
    EXPECT_EQ(after.subkeyEnumerations, 4);
    EXPECT_EQ(after.processSnapshots, 1);
    EXPECT_EQ(after.appIndexBuilds, 1);
    EXPECT_GE(once.appPathResolutions, 1);
    EXPECT_EQ(after.appPathResolutions, once.appPathResolutions);
    EXPECT_EQ(after.diskQueries, 1);
    EXPECT_EQ(after.memoryQueries, 1);
    EXPECT_EQ(after.processorQueries, 1);
}

TEST_F(OfferCheckerTest, RejectionsArriveAsEventsWithTheirReasons)
{
    OfferChecker checker(1);
    EXPECT_EQ(Verdict(checker, {{"ov", 64}}, "old-os"), "UNSUPPORTED OS VERSION");
    EXPECT_EQ(Verdict(checker, {{"ram", 1ull << 40}}, "big"), "NOT ENOUGH RAM");
    EXPECT_EQ(Verdict(checker, {}, "taken"), "accepted");
    EXPECT_EQ(Verdict(checker, {}, "one-too-many"), "stopped");
    for (const auto& package : m_packages)
        package->WaitForEvents();

    std::map<std::string, std::string> reasons;
    for (const json& event : m_host.Events()) {
        EXPECT_EQ(event.at("kind"), "2");
        EXPECT_TRUE(event.at("signature_ok").get<bool>());
        reasons[event.at("record").at("5").get<std::string>()] = event.at("record").at("13").get<std::string>();
    }
    const std::map<std::string, std::string> expected = {{"old-os", "UNSUPPORTED OS VERSION"},
                                                         {"big", "NOT ENOUGH RAM"}};
    EXPECT_EQ(reasons, expected);
}

} // namespace
