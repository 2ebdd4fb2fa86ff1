// The package model: how an offer object of the configuration response becomes a
// Package (types, defaults, presets, lists, placeholders) and what its event body holds.
#include "config/ConfigurationManager.h"
#include "net/CommonEventData.h"
#include "offers/Package.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

using nlohmann::json;

namespace {

class PackageModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedCountry = m_configuration->countryCode;
        m_savedPublisher = m_configuration->publisherId;
        m_savedBundle = m_configuration->bundleTag;
        m_configuration->countryCode = "de";
        m_configuration->publisherId = "pub-7";
        m_configuration->bundleTag = "bundle-3";
        m_eventData = BuildCommonEventData();
    }
    void TearDown() override
    {
        m_configuration->countryCode = m_savedCountry;
        m_configuration->publisherId = m_savedPublisher;
        m_configuration->bundleTag = m_savedBundle;
    }

    // An offer with the required members and the given members of "ps" added.
    static json Offer(const json& extra = json::object())
    {
        json ps = {{"i", "img/a.png"}, {"dn", "Offer A"}, {"u", "offers/a.exe"}};
        for (const auto& member : extra.items())
            ps[member.key()] = member.value();
        return {{"ad", {{"f", "feed-a"}, {"o", "code-a"}}}, {"ps", ps}};
    }
    std::shared_ptr<Package> Build(const json& offer, int index = 0)
    {
        return std::make_shared<Package>(m_eventData, offer, false, std::string(), index);
    }

    std::shared_ptr<ConfigurationManager> m_configuration = ConfigurationManager::GetInstance();
    CommonEventData m_eventData;
    std::string m_savedCountry;
    std::string m_savedPublisher;
    std::string m_savedBundle;
};

TEST_F(PackageModelTest, ReadsTheOfferWithItsDefaults)
{
    const auto package = Build(Offer());
    EXPECT_EQ("code-a", package->m_offerCode);
    EXPECT_EQ("feed-a", package->m_offerFeed);
    EXPECT_EQ("Offer A", package->m_name);
    EXPECT_EQ("img/a.png", package->m_imageUrl);
    EXPECT_EQ("offers/a.exe", package->m_downloadUrl);
    EXPECT_EQ("", package->m_installArguments);
    EXPECT_EQ("", package->m_tag);
    EXPECT_EQ(0, package->m_vertical.load());
    EXPECT_FALSE(package->m_exclusive);
    EXPECT_EQ(0u, package->m_minDiskMiB);
    EXPECT_EQ(0, package->m_minOsVersion);
    EXPECT_FALSE(package->m_isMain);
    EXPECT_FALSE(package->m_image);
    EXPECT_TRUE(package->m_uninstallRules.empty());
    // Two offers without a vertical share vertical 0.
    EXPECT_EQ(package->m_vertical.load(), Build(Offer())->m_vertical.load());
}

TEST_F(PackageModelTest, AcceptsOnlyTheDesignedTypes)
{
    struct Case {
        json extra;
        bool typeError;
    };
    const Case cases[] = {
        {{{"exc", 1}}, true},       {{{"exc", true}}, false},   {{{"v", true}}, false},
        {{{"v", 3.7}}, false},      {{{"v", "3"}}, true},       {{{"disk", 2.9}}, false},
        {{{"disk", "2"}}, true},    {{{"disk", true}}, true},   {{{"ram", json::array()}}, true},
        {{{"win64", 1}}, true},     {{{"ov", false}}, false},   {{{"pv", 1.2}}, true},
        {{{"dn", 5}}, true},        {{{"a", {1, 2}}}, true},    {{{"cmdu", {{{"utr", "x"}}}}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extra.dump());
        if (c.typeError) {
            EXPECT_THROW(Build(Offer(c.extra)), json::type_error);
        } else if (c.extra.contains("cmdu")) {
            // A rule without its required members is a missing key.
            EXPECT_THROW(Build(Offer(c.extra)), json::out_of_range);
        } else {
            EXPECT_NO_THROW(Build(Offer(c.extra)));
        }
    }
    EXPECT_EQ(1, Build(Offer({{"v", true}}))->m_vertical.load());
    EXPECT_EQ(3, Build(Offer({{"v", 3.7}}))->m_vertical.load());
    EXPECT_EQ(2u, Build(Offer({{"disk", 2.9}}))->m_minDiskMiB);

    json missingName = Offer();
    missingName["ps"].erase("dn");
    EXPECT_THROW(Build(missingName), json::out_of_range);
    EXPECT_THROW(Build({{"ad", {{"f", "x"}}}, {"ps", Offer()["ps"]}}), json::out_of_range);
    EXPECT_THROW(Build({{"ad", {{"f", "x"}, {"o", "y"}}}, {"ps", json::array()}}), json::type_error);
}

// A digest is taken only as 64 hexadecimal digits; anything else makes the offer
// malformed, so its file is never run unchecked.
TEST_F(PackageModelTest, TakesTheFilesDigestOnlyAsSixtyFourHexDigits)
{
    const std::string digest(64, 'a');
    EXPECT_EQ(Build(Offer())->m_sha256, "");
    EXPECT_EQ(Build(Offer({{"sha256", digest}}))->m_sha256, digest);
    EXPECT_EQ(Build(Offer({{"sha256", "0123456789ABCDEFabcdef" + std::string(42, '0')}}))->m_sha256.size(), 64u);
    for (const json& wrong : {json(std::string(63, 'a')), json(std::string(65, 'a')), json(std::string(63, 'a') + "g"),
                              json(""), json(" " + std::string(63, 'a'))})
        EXPECT_THROW(Build(Offer({{"sha256", wrong}})), std::runtime_error) << wrong.dump();
    EXPECT_THROW(Build(Offer({{"sha256", 12}})), json::type_error);
}

// The tracking pixel encodes the machine, the offer code and the run; an offer code of
// any length is read at once (the encoding would take hours for a long one), and only
// such a code leaves the pixel empty.
TEST_F(PackageModelTest, AnOfferCodeOfAnyLengthIsReadAtOnce)
{
    json normal = Offer();
    EXPECT_FALSE(Build(normal)->ExpandPlaceholders("{pxl}").empty());
    json huge = Offer();
    huge["ad"]["o"] = std::string(1 << 20, 'c');
    const auto package = Build(huge);
    EXPECT_EQ(package->m_offerCode.size(), 1u << 20);
    EXPECT_EQ(package->ExpandPlaceholders("[{pxl}]"), "[]");
}

TEST_F(PackageModelTest, PresetOverridesTheSizesItNames)
{
    const auto three = Build(Offer({{"x", 3}, {"disk", 10}, {"ram", 20}, {"cpu", 30}}));
    EXPECT_EQ(512u, three->m_minDiskMiB);
    EXPECT_EQ(1536u, three->m_minRamMiB);
    EXPECT_EQ(1500u, three->m_minCpuMHz);

    const auto one = Build(Offer({{"x", 1}, {"cpu", 800}}));
    EXPECT_EQ(2500u, one->m_minDiskMiB);
    EXPECT_EQ(250u, one->m_minRamMiB);
    EXPECT_EQ(800u, one->m_minCpuMHz);

    const auto two = Build(Offer({{"x", 2}}));
    EXPECT_TRUE(two->m_needsChrome);
    EXPECT_TRUE(two->m_needsNewIe);
    EXPECT_FALSE(two->m_rejectsChrome);
    EXPECT_TRUE(Build(Offer({{"x", 10}, {"win64", false}}))->m_win64);
    EXPECT_TRUE(Build(Offer({{"x", 12}}))->m_needsChrome);
    EXPECT_FALSE(Build(Offer({{"x", 12}}))->m_needsNewIe);
    EXPECT_TRUE(Build(Offer({{"x", 13}}))->m_rejectsChrome);

    const auto other = Build(Offer({{"x", 7}, {"disk", 10}}));
    EXPECT_EQ(10u, other->m_minDiskMiB);
    EXPECT_FALSE(other->m_needsChrome || other->m_rejectsChrome || other->m_needsNewIe || other->m_win64);
}

TEST_F(PackageModelTest, IteratesListsAsTheDocumentDoes)
{
    // An object yields its values by key, null nothing, a single value itself once.
    EXPECT_EQ((std::vector<std::string>{"first.exe", "second.exe"}),
              Build(Offer({{"a", {{"b", "second.exe"}, {"a", "first.exe"}}}}))->m_blockingProcesses);
    EXPECT_TRUE(Build(Offer({{"a", nullptr}}))->m_blockingProcesses.empty());
    EXPECT_EQ((std::vector<std::string>{"only.exe"}), Build(Offer({{"a", "only.exe"}}))->m_blockingProcesses);
    // The offers list itself: {"b": ..., "a": ...} builds the offer under "a" first.
    const json response = json::parse(R"({"o": {"b": )" + Offer({{"dn", "B"}}).dump() + R"(, "a": )" +
                                      Offer({{"dn", "A"}}).dump() + "}}");
    std::vector<std::string> names;
    for (const json& offer : response.at("o"))
        names.push_back(Build(offer)->m_name);
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), names);
}

TEST_F(PackageModelTest, ConvertsRegistryTextsFromUtf8)
{
    const json offer = Offer({{"r", {"hkey_current_user\\software\\caf\u00e9"}}, {"eapp", "\u0444.exe"}});
    const auto package = Build(offer);
    ASSERT_EQ(1u, package->m_blockingKeys.size());
    EXPECT_EQ(L"hkey_current_user\\software\\caf\u00e9", package->m_blockingKeys[0]);
    ASSERT_EQ(1u, package->m_blockingApps.size());
    EXPECT_EQ(L"\u0444.exe", package->m_blockingApps[0]);
}

TEST_F(PackageModelTest, ReadsUninstallRulesAndFiles)
{
    const auto package = Build(Offer(
        {{"cmdu",
          {{{"utr", "HKEY_CURRENT_USER"}, {"utk", "Software\\A"}, {"utvn", "T"}, {"utvt", "REG_DWORD"}, {"umd", 30}},
           {{"utr", "HKEY_LOCAL_MACHINE"},
            {"utk", "Software\\B"},
            {"utvn", "U"},
            {"utvt", "REG_QWORD"},
            {"umd", 2.5},
            {"utms", true}}}},
         {"fe", {"{localappdata}\\Lumen\\lumen.exe"}},
         {"ife", "C:\\plain.txt"}}));
    ASSERT_EQ(2u, package->m_uninstallRules.size());
    EXPECT_EQ(L"HKEY_CURRENT_USER", package->m_uninstallRules[0].root);
    EXPECT_EQ(L"Software\\A", package->m_uninstallRules[0].key);
    EXPECT_EQ(L"T", package->m_uninstallRules[0].valueName);
    EXPECT_EQ(30, package->m_uninstallRules[0].minDays);
    EXPECT_FALSE(package->m_uninstallRules[0].inMilliseconds);
    EXPECT_EQ(2, package->m_uninstallRules[1].minDays);
    EXPECT_TRUE(package->m_uninstallRules[1].inMilliseconds);

    const auto folders = m_configuration->GetFolderPlaceholders();
    ASSERT_EQ(1u, package->m_blockingFiles.size());
    ASSERT_TRUE(folders.count(L"localappdata"));
    EXPECT_EQ(CString(folders.at(L"localappdata")) + L"\\Lumen\\lumen.exe", package->m_blockingFiles[0]);
    ASSERT_EQ(1u, package->m_requiredFiles.size());
    EXPECT_EQ(CString(L"C:\\plain.txt"), package->m_requiredFiles[0]);
}

TEST_F(PackageModelTest, ExpandsTrackingPlaceholders)
{
    const auto package = Build(Offer({{"i", "img/{cc}.png"},
                                      {"u", "a.exe?u={userid}&s={sessionid}&p={pubid}&b={ispb}&a={aflt}&f={of}"},
                                      {"c", "tag-{cc}"},
                                      {"p", "/ref={pxl} {unknown}"},
                                      {"pv", "{cc}"}}));
    EXPECT_EQ("img/de.png", package->m_imageUrl);
    EXPECT_EQ("a.exe?u=" + m_configuration->GetMachineId() + "&s=" + m_configuration->GetRunTimestamp() +
                  "&p=pub-7&b=bundle-3&a=91082&f=feed-a",
              package->m_downloadUrl);
    EXPECT_EQ("tag-de", package->m_tag);
    ASSERT_FALSE(package->m_placeholders.at("pxl").empty());
    EXPECT_EQ("/ref=" + package->m_placeholders.at("pxl") + " {unknown}", package->m_installArguments);
    // The minimum program version is not expanded.
    EXPECT_EQ("{cc}", package->m_minProgramVersion);

    m_configuration->countryCode.clear();
    const auto noCountry = Build(Offer({{"i", "img/{cc}.png"}}));
    EXPECT_EQ("img/{cc}.png", noCountry->m_imageUrl);
    EXPECT_EQ(0u, noCountry->m_placeholders.count("cc"));
    EXPECT_EQ("91082", noCountry->m_placeholders.at("aflt"));
}

TEST_F(PackageModelTest, ReplacesAValueHoldingItsOwnPlaceholderOnce)
{
    json offer = Offer({{"dn", "{of}+{of}"}});
    offer["ad"]["f"] = "x{of}y";
    const auto package = Build(offer);
    EXPECT_EQ("x{of}y+x{of}y", package->m_name);
    EXPECT_EQ("x{of}y", package->ExpandPlaceholders("{of}"));
}

// The texts come from the server: a text of a million placeholders is expanded at once,
// and a text grows no further than 64 KiB (or its own length) however long the values
// are; the placeholders beyond stay as written.
TEST_F(PackageModelTest, PlaceholdersExpandAtOnceAndWithinBounds)
{
    auto repeated = [](const std::string& text, size_t count) {
        std::string result;
        for (size_t i = 0; i < count; ++i)
            result += text;
        return result;
    };
    const auto start = std::chrono::steady_clock::now();
    // 4 MB of "{cc}", half of the largest answer read: each becomes "de".
    const auto shorter = Build(Offer({{"dn", repeated("{cc}", 1000000)}}));
    EXPECT_EQ(shorter->m_name, repeated("de", 1000000));
    // A feed of 1 MB named a million times would be a terabyte: it is never inserted.
    json longer = Offer({{"dn", repeated("{of}", 1000000)}, {"u", "a/{cc}/{of}"}});
    longer["ad"]["f"] = std::string(1 << 20, 'f');
    const auto huge = Build(longer);
    EXPECT_EQ(huge->m_name, repeated("{of}", 1000000));
    EXPECT_EQ(huge->m_downloadUrl, "a/de/{of}");
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // A feed of 1 KiB named a hundred times: the first sixty-odd fit.
    json some = Offer({{"dn", repeated("{of}", 100)}});
    some["ad"]["f"] = std::string(1024, 'g');
    const auto package = Build(some);
    EXPECT_LE(package->m_name.size(), 64u * 1024);
    EXPECT_GT(package->m_name.size(), 60u * 1024);
    EXPECT_EQ(package->m_name.compare(0, 1024, std::string(1024, 'g')), 0);
    EXPECT_EQ(package->m_name.compare(package->m_name.size() - 4, 4, "{of}"), 0);
    printf("offers of a million placeholders built in %.2f s\n", seconds);
}

TEST_F(PackageModelTest, BuildsTheOfferEventBody)
{
    const auto package = Build(Offer({{"c", "tag-1"}}), 0);
    const json body = package->EventBody();
    EXPECT_EQ("code-a", body.at("5"));
    EXPECT_EQ(2, body.at("10"));
    EXPECT_EQ("tag-1", body.at("16"));
    EXPECT_EQ("1", body.at("17"));
    EXPECT_EQ("feed-a", body.at("18"));
    EXPECT_EQ(m_eventData.baseRecord.at("1"), body.at("1"));

    EXPECT_EQ("4", Build(Offer(), 3)->EventBody().at("17"));
    EXPECT_EQ("", Build(Offer(), 3)->EventBody().at("16"));
}

TEST_F(PackageModelTest, MainPackageExpandsNothingAndReportsTheProductTitle)
{
    CommonEventData data = m_eventData;
    data.baseRecord["22"] = "Demo Product";
    const auto main =
        std::make_shared<Package>(data, true, CString(L"chan"), CString(L"fl"), CString(L"Demo"), CString(L"h"), 0);
    EXPECT_TRUE(main->m_placeholders.empty());
    EXPECT_EQ("{cc} {userid}", main->ExpandPlaceholders("{cc} {userid}"));
    EXPECT_EQ("chan", main->m_offerCode);
    EXPECT_EQ("fl", main->m_offerFeed);
    EXPECT_EQ("Demo", main->m_name);
    EXPECT_EQ("h", main->m_tag);
    const json body = main->EventBody();
    EXPECT_EQ("Demo Product", body.at("5"));
    EXPECT_EQ(1, body.at("10"));
    EXPECT_EQ("", body.at("18"));
    EXPECT_EQ("", body.at("17"));

    CommonEventData fresh = m_eventData;
    fresh.baseRecord["22"] = "Loaded Title";
    main->Refresh(fresh, CString(L"Loaded Title"), CString(L"fl2"), CString(L"Loaded Title"), CString(L"h2"));
    EXPECT_EQ("Loaded Title", main->m_offerCode);
    EXPECT_EQ("fl2", main->m_offerFeed);
    EXPECT_EQ("h2", main->m_tag);
    EXPECT_EQ(0, main->m_index);
    EXPECT_EQ("Loaded Title", main->EventBody().at("5"));
}

} // namespace
