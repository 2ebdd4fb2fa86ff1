// The configuration comes from a server the wizard cannot trust and is read by an
// elevated process: whatever text arrives, reading it ends in the accepted offers or in
// the designed errors (the program's own exception, the JSON library's, the "not UTF-8"
// error), never in a crash, a hang or memory without bound.
#include "config/ConfigurationManager.h"
#include "net/ApiManager.h"
#include "net/OrvaneException.h"
#include "offers/LoadingPage.h"
#include "offers/Package.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using nlohmann::json;

namespace {

// How one text ended.
enum class Ending { Offers, ConfigError, ProgramError, JsonError, TextError };

const char* Name(Ending ending)
{
    switch (ending) {
    case Ending::Offers:
        return "offers";
    case Ending::ConfigError:
        return "configuration error";
    case Ending::ProgramError:
        return "program error";
    case Ending::JsonError:
        return "JSON error";
    default:
        return "text error";
    }
}

// The demo catalog the content host serves, as its text.
std::string DemoCatalog()
{
    std::wstring path = L"Z:" + std::wstring(ORVANE_SOURCE_DIR, ORVANE_SOURCE_DIR + strlen(ORVANE_SOURCE_DIR)) +
                        L"/tools/content-host/catalog/demo.json";
    for (auto& ch : path)
        if (ch == L'/')
            ch = L'\\';
    return testing_support::ReadFileBytes(CString(path.c_str()));
}

// Reads the configuration's text as the loading task does, in both wizard types.
class HostileConfiguration : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto configuration = ConfigurationManager::GetInstance();
        m_saved = {configuration->wizardType, configuration->productTitle, configuration->productUrl,
                   configuration->productSha256, configuration->productImageUrl, configuration->productFileName,
                   configuration->productPrivacyUrl, configuration->productTermsUrl, configuration->productTagH,
                   configuration->productTagFl, configuration->maxOffers, configuration->countryCode,
                   configuration->publisherId, configuration->bundleTag};
    }
    void TearDown() override
    {
        auto configuration = ConfigurationManager::GetInstance();
        configuration->wizardType = m_saved.wizardType;
        configuration->productTitle = m_saved.productTitle;
        configuration->productUrl = m_saved.productUrl;
        configuration->productSha256 = m_saved.productSha256;
        configuration->productImageUrl = m_saved.productImageUrl;
        configuration->productFileName = m_saved.productFileName;
        configuration->productPrivacyUrl = m_saved.productPrivacyUrl;
        configuration->productTermsUrl = m_saved.productTermsUrl;
        configuration->productTagH = m_saved.productTagH;
        configuration->productTagFl = m_saved.productTagFl;
        configuration->maxOffers = m_saved.maxOffers;
        configuration->countryCode = m_saved.countryCode;
        configuration->publisherId = m_saved.publisherId;
        configuration->bundleTag = m_saved.bundleTag;
    }

    static Ending Read(const std::string& text, int wizardType, size_t* offers = nullptr)
    {
        auto configuration = ConfigurationManager::GetInstance();
        configuration->wizardType = wizardType;
        // A tag of an earlier case would turn the offers off.
        configuration->productTagH.Empty();
        try {
            auto document = ApiManager::ParseConfigurationResponse(text);
            bool configError = false;
            const auto accepted = LoadingPage::ReadConfiguration(*document, configError);
            if (offers)
                *offers = accepted.size();
            return configError ? Ending::ConfigError : Ending::Offers;
        } catch (const OrvaneException&) {
            return Ending::ProgramError;
        } catch (const json::exception&) {
            return Ending::JsonError;
        } catch (const std::runtime_error&) {
            return Ending::TextError;
        }
    }

    struct Saved {
        int wizardType;
        CString productTitle, productUrl;
        std::string productSha256;
        CString productImageUrl, productFileName, productPrivacyUrl, productTermsUrl, productTagH, productTagFl;
        int maxOffers;
        std::string countryCode, publisherId, bundleTag;
    } m_saved{};
};

} // namespace

TEST_F(HostileConfiguration, TheDemoCatalogGivesItsOffers)
{
    const std::string catalog = DemoCatalog();
    ASSERT_GT(catalog.size(), 1000u);
    for (int type : {1, 2}) {
        size_t offers = 0;
        EXPECT_EQ(Read(catalog, type, &offers), Ending::Offers) << type;
        // The backup offer asks for 4 TiB of memory; the others fit any machine.
        EXPECT_EQ(offers, 3u) << type;
    }
}

TEST_F(HostileConfiguration, HostileTextsEndInTheDesignedError)
{
    const std::string deepArrays = std::string(100000, '[') + std::string(100000, ']');
    std::string deepObjects;
    for (int i = 0; i < 100000; ++i)
        deepObjects += "{\"a\":";
    deepObjects += "1" + std::string(100000, '}');
    std::string catalog = DemoCatalog();
    std::string notUtf8 = catalog;
    notUtf8.replace(notUtf8.find("Quill Notes"), 5, "Q\xC3\x28\xFF\xFE");
    struct Case {
        const char* what;
        std::string text;
        Ending downloadType;
        Ending installerType;
    };
    const Case cases[] = {
        {"arrays nested 100,000 deep", deepArrays, Ending::ProgramError, Ending::ProgramError},
        {"objects nested 100,000 deep", deepObjects, Ending::ProgramError, Ending::ProgramError},
        {"closing brackets before opening ones", std::string(100000, ']') + std::string(100000, '['),
         Ending::JsonError, Ending::JsonError},
        {"100 MiB of text", "{\"l\":\"" + std::string(100u << 20, 'x') + "\"}", Ending::ProgramError,
         Ending::ProgramError},
        {"invalid UTF-8 in a text", notUtf8, Ending::JsonError, Ending::JsonError},
        // The installer type reads no product: a document without offers has none.
        {"a document that is a number", "5", Ending::JsonError, Ending::Offers},
        {"a document that is a string", "\"o\"", Ending::JsonError, Ending::Offers},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Name(Read(c.text, 1)), std::string(Name(c.downloadType)));
        EXPECT_EQ(Name(Read(c.text, 2)), std::string(Name(c.installerType)));
    }
}

// Offers are read up to the 256th: a catalog of thousands of offers, each rejected on a
// thread of its own, would hold the load for minutes. The offers after it are left out,
// malformed ones too.
TEST_F(HostileConfiguration, OffersAfterThe256thAreLeftOutUnread)
{
    json offers = json::array();
    for (int i = 0; i < 256; ++i)
        offers.push_back({{"ad", {{"f", "feed"}, {"o", "code"}}},
                          {"ps", {{"i", "i.png"}, {"dn", "Offer"}, {"u", "offer.exe"}, {"v", i + 1}}}});
    offers.push_back({{"ad", {{"f", "feed"}, {"o", "code"}}}});
    const json document = {{"f", {{"m", 1000}}}, {"o", offers}};
    size_t accepted = 0;
    EXPECT_EQ(Name(Read(document.dump(), 2, &accepted)), std::string(Name(Ending::Offers)));
    EXPECT_EQ(accepted, 256u);
    // Within the bound the malformed offer ends the load, as any malformed offer does.
    json fewer = document;
    fewer["o"].erase(0);
    EXPECT_EQ(Name(Read(fewer.dump(), 2)), std::string(Name(Ending::JsonError)));
}

// Every member of the catalog in turn as null and as a value of another kind (a number
// for a text, a text for a number or a boolean, an array for an object and the other
// way round, a text of 64 KiB for a text): each ends in a designed result.
TEST_F(HostileConfiguration, EveryMemberOfAnotherTypeEndsInADesignedResult)
{
    const json catalog = json::parse(DemoCatalog());
    std::vector<std::pair<json::json_pointer, json>> changes;
    std::function<void(const json&, const json::json_pointer&)> walk = [&](const json& value,
                                                                         const json::json_pointer& at) {
        if (!at.empty()) {
            changes.emplace_back(at, json(nullptr));
            if (value.is_string()) {
                changes.emplace_back(at, json(7));
                changes.emplace_back(at, json(std::string(1 << 16, 'y')));
            } else if (value.is_number() || value.is_boolean()) {
                changes.emplace_back(at, json("7"));
            } else if (value.is_object()) {
                changes.emplace_back(at, json::array({1, "a"}));
            } else if (value.is_array()) {
                changes.emplace_back(at, json::object({{"k", "v"}}));
            }
        }
        if (value.is_object())
            for (auto it = value.begin(); it != value.end(); ++it)
                walk(it.value(), at / it.key());
        else if (value.is_array())
            for (size_t i = 0; i < value.size(); ++i)
                walk(value[i], at / i);
    };
    walk(catalog, json::json_pointer());
    ASSERT_GT(changes.size(), 150u);

    size_t errors = 0;
    for (size_t n = 0; n < changes.size(); ++n) {
        json changed = catalog;
        changed[changes[n].first] = changes[n].second;
        // The installer type does not read the product ("i").
        const std::string where = changes[n].first.to_string();
        const bool product = where == "/i" || where.rfind("/i/", 0) == 0;
        const Ending ending = Read(changed.dump(), product ? 1 : 1 + static_cast<int>(n % 2));
        errors += ending != Ending::Offers ? 1 : 0;
    }
    // Required members of another type end the load: the checks above would pass with a
    // reader that ignored everything.
    EXPECT_GT(errors, changes.size() / 4);
    json changed = catalog;
    changed["i"]["ct"] = 5;
    EXPECT_EQ(Read(changed.dump(), 1), Ending::JsonError);
    changed = catalog;
    changed["o"][0]["ps"]["dn"] = json::array();
    EXPECT_EQ(Read(changed.dump(), 2), Ending::JsonError);
}

// Thousands of random changes to the catalog's text (fixed seed): bytes flipped, cut,
// doubled or moved, brackets and quotes thrown in. Each ends in a designed result.
TEST_F(HostileConfiguration, RandomChangesToTheCatalogEndInADesignedResult)
{
    const std::string catalog = DemoCatalog();
    const unsigned seed = 20261211;
    std::mt19937 random(seed);
    testing_support::RandomCaseReport report(seed);
    const char inserts[] = "[]{}\":,\\ 0e-9tfn\x80\xC3\xFF";
    size_t endings[5] = {};
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < 3000; ++n) {
        std::string text = catalog;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int k = 0; k < changes && !text.empty(); ++k) {
            const size_t at = random() % text.size();
            switch (random() % 6) {
            case 0:
                text[at] = static_cast<char>(text[at] ^ (1 << (random() % 8)));
                break;
            case 1:
                text.resize(at);
                break;
            case 2:
                text.insert(at, 1, inserts[random() % (sizeof(inserts) - 1)]);
                break;
            case 3:
                text.erase(at, 1 + random() % 40);
                break;
            case 4: {
                const size_t from = random() % text.size();
                text.insert(at, text.substr(from, 1 + random() % 200));
                break;
            }
            default:
                text.insert(at, std::string(1 + random() % 100, "[{"[random() % 2]));
                break;
            }
        }
        report.SetCase(n);
        Ending ending;
        try {
            ending = Read(text, 1 + n % 2);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "seed " << seed << ", case " << n << ": " << e.what();
            break;
        }
        ++endings[static_cast<int>(ending)];
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "seed " << seed << ", case " << n;
            break;
        }
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Most changes break the text; some leave a document the wizard reads.
    EXPECT_GT(endings[static_cast<int>(Ending::JsonError)], 1000u);
    EXPECT_GT(endings[static_cast<int>(Ending::Offers)] + endings[static_cast<int>(Ending::ConfigError)], 10u);
    printf("3000 changed catalogs in %.1f s: %zu offers, %zu configuration errors, %zu program errors, %zu JSON "
           "errors, %zu text errors\n",
           seconds, endings[0], endings[1], endings[2], endings[3], endings[4]);
}

namespace {

// Every value of the document with its place, the document itself first.
void ListPlaces(const json& value, const json::json_pointer& at, std::vector<json::json_pointer>& places)
{
    places.push_back(at);
    if (value.is_object())
        for (auto it = value.begin(); it != value.end(); ++it)
            ListPlaces(it.value(), at / it.key(), places);
    else if (value.is_array())
        for (size_t i = 0; i < value.size(); ++i)
            ListPlaces(value[i], at / i, places);
}

} // namespace

// Random changes to the catalog's members (fixed seed): members and
// elements removed, doubled or copied over others, values of another kind, values
// nested deep. Each ends in a designed result.
TEST_F(HostileConfiguration, RandomChangesToTheCatalogsMembersEndInADesignedResult)
{
    const json catalog = json::parse(DemoCatalog());
    const json kinds[] = {nullptr,
                          true,
                          0,
                          -1,
                          2147483648.0,
                          1e300,
                          -0.5,
                          18446744073709551615u,
                          "",
                          "{cc}{of}{pxl}{userid}",
                          std::string(4096, 'z'),
                          json::array(),
                          json::object(),
                          json::array({1, "a", nullptr}),
                          json::object({{"k", "v"}})};
    const unsigned seed = 1212;
    std::mt19937 random(seed);
    testing_support::RandomCaseReport report(seed);
    size_t endings[5] = {};
    const auto start = std::chrono::steady_clock::now();
    // Unlike broken text, almost every case is read through to the offers' checks, which
    // cost milliseconds each: a few hundred cases keep the test within seconds.
    for (int n = 0; n < 600; ++n) {
        json changed = catalog;
        const int changes = 1 + static_cast<int>(random() % 3);
        for (int k = 0; k < changes; ++k) {
            std::vector<json::json_pointer> places;
            ListPlaces(changed, json::json_pointer(), places);
            const json::json_pointer at = places[1 + random() % (places.size() - 1)];
            json& parent = changed[at.parent_pointer()];
            const std::string last = at.back();
            switch (random() % 4) {
            case 0:
                if (parent.is_object())
                    parent.erase(last);
                else
                    parent.erase(parent.begin() + std::stoi(last));
                break;
            case 1:
                if (parent.is_array()) {
                    parent.insert(parent.begin() + random() % (parent.size() + 1), changed[at]);
                } else {
                    // The value of one member in the place of another (or of a new one).
                    auto other = parent.begin();
                    std::advance(other, random() % parent.size());
                    parent[random() % 4 ? other.key() : last + "2"] = json(changed[at]);
                }
                break;
            case 2:
                changed[at] = kinds[random() % (sizeof(kinds) / sizeof(kinds[0]))];
                break;
            default: {
                json nested = changed[at];
                const int depth = 1 + static_cast<int>(random() % 80);
                for (int d = 0; d < depth; ++d)
                    nested = random() % 2 ? json::array({nested}) : json::object({{last, nested}});
                changed[at] = nested;
                break;
            }
            }
        }
        report.SetCase(n);
        Ending ending;
        try {
            ending = Read(changed.dump(), 1 + n % 2);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "seed " << seed << ", case " << n << ": " << e.what();
            break;
        }
        ++endings[static_cast<int>(ending)];
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "seed " << seed << ", case " << n;
            break;
        }
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Every way of ending is reached: offers, refused depths and the reader's type errors.
    EXPECT_GT(endings[static_cast<int>(Ending::Offers)], 50u);
    EXPECT_GT(endings[static_cast<int>(Ending::ProgramError)], 20u);
    EXPECT_GT(endings[static_cast<int>(Ending::JsonError)], 50u);
    printf("600 catalogs with changed members in %.1f s: %zu offers, %zu configuration errors, %zu program errors, "
           "%zu JSON errors, %zu text errors\n",
           seconds, endings[0], endings[1], endings[2], endings[3], endings[4]);
}
