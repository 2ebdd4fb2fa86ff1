// Locale tables nested without end, entity and reference tricks, a product title from
// the server made of references, and random changes to every table of the program: each
// ends in the table's texts or in the designed parse failure, with bounded time and
// memory.
#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <random>
#include <string>

using testing_support::MessageBoxAnswerer;

namespace {

// Parses the text as the manager parses its resources, then reads it as a table.
bool ParseTable(LanguageManager& manager, const std::string& xml, tinyxml2::XMLError* error = nullptr)
{
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    const tinyxml2::XMLError parsed = document.Parse(xml.data(), xml.size());
    if (error)
        *error = parsed;
    return parsed == tinyxml2::XML_SUCCESS && manager.ParseLocale(document);
}

// The bytes of a locale table among the program's resources.
std::string TableBytes(int id)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"LOCALE");
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module, resource)) : std::string();
}

// Sets the product title for one test.
class ProductTitle {
public:
    explicit ProductTitle(const CString& title) : m_saved(ConfigurationManager::GetInstance()->productTitle)
    {
        ConfigurationManager::GetInstance()->productTitle = title;
    }
    ~ProductTitle() { ConfigurationManager::GetInstance()->productTitle = m_saved; }
    ProductTitle(const ProductTitle&) = delete;
    ProductTitle& operator=(const ProductTitle&) = delete;

private:
    CString m_saved;
};

} // namespace

TEST(HostileLocale, ElementsNestedWithoutEndAreAParseError)
{
    std::string xml = "<Locale name=\"en_US\">";
    for (int i = 0; i < 100000; ++i)
        xml += "<a>";
    for (int i = 0; i < 100000; ++i)
        xml += "</a>";
    xml += "</Locale>";
    LanguageManager manager(nullptr);
    tinyxml2::XMLError error = tinyxml2::XML_SUCCESS;
    EXPECT_FALSE(ParseTable(manager, xml, &error));
    EXPECT_EQ(error, tinyxml2::XML_ELEMENT_DEPTH_EXCEEDED);
}

// A document type's entities are never declared to the parser, so nothing expands:
// the references stay as written.
TEST(HostileLocale, EntitiesOfADocumentTypeAreNeverExpanded)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE Locale [\n<!ENTITY lol \"lol\">\n";
    for (int i = 1; i <= 9; ++i) {
        xml += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            xml += "&lol" + (i > 1 ? std::to_string(i - 1) : std::string()) + ";";
        xml += "\">\n";
    }
    xml += "]>\n<Locale name=\"en_US\"><A>&lol9;</A><B>&#65;&#x10FFFF;&#0;&#xD800;&amp;</B><C>&#99999999999;</C>"
           "</Locale>";
    LanguageManager manager(nullptr);
    MessageBoxAnswerer answerer;
    ASSERT_TRUE(ParseTable(manager, xml));
    EXPECT_EQ(manager.GetText("A"), L"&lol9;");
    EXPECT_LT(manager.GetText("B").GetLength(), 20);
    EXPECT_LT(manager.GetText("C").GetLength(), 20);
    EXPECT_TRUE(answerer.Texts().empty());
}

// References nest at most eight deep and a text grows only so far: ten references per
// text over nine levels would be 10^9 copies.
TEST(HostileLocale, ReferencesThatMultiplyStayBounded)
{
    std::string xml = "<Locale name=\"en_US\"><L0>laugh</L0>";
    for (int i = 1; i <= 9; ++i) {
        xml += "<L" + std::to_string(i) + ">";
        for (int k = 0; k < 10; ++k)
            xml += "{L" + std::to_string(i - 1) + "}";
        xml += "</L" + std::to_string(i) + ">";
    }
    xml += "<T>{PRODUCT_TITLE}</T></Locale>";
    // The product's title comes from the server: here it names itself twenty times.
    CString title;
    for (int k = 0; k < 20; ++k)
        title += L"{PRODUCT_TITLE}";
    ProductTitle product(title);
    LanguageManager manager(nullptr);
    ASSERT_TRUE(ParseTable(manager, xml));
    for (const char* key : {"L9", "T", "PRODUCT_TITLE"}) {
        SCOPED_TRACE(key);
        const CString text = manager.GetText(key);
        EXPECT_GT(text.GetLength(), 1000);
        EXPECT_LE(static_cast<size_t>(text.GetLength()), LanguageManager::MaxExpandedBytes + 20 * 9 * 16);
    }
    // Within the bounds, references still expand as before.
    EXPECT_EQ(manager.GetText("L1"), L"laughlaughlaughlaughlaughlaughlaughlaughlaughlaugh");
}

// Random changes to every table of the program (fixed seed): each ends in the table's
// texts or in the designed failure, never in a crash.
TEST(HostileLocale, RandomChangesToTheTablesEndInAResult)
{
    LanguageManager manager(nullptr);
    const auto ids = manager.GetLocaleResourceIds();
    ASSERT_GE(ids.size(), 2u);
    const unsigned seed = 1211;
    std::mt19937 random(seed);
    const char* inserts[] = {"<", ">", "&", "{", "}", "</Locale>", "<Locale>", "<X/>", "&#0;", "{PRODUCT_TITLE}",
                             "<!DOCTYPE x [<!ENTITY e \"e\">]>", "\xFF", "\xC3", "]]>", "<![CDATA[", "\""};
    MessageBoxAnswerer answerer;
    testing_support::RandomCaseReport report(seed);
    int parsed = 0, refused = 0;
    for (int n = 0; n < 2000; ++n) {
        std::string xml = TableBytes(ids[n % ids.size()]);
        ASSERT_FALSE(xml.empty());
        const int changes = 1 + static_cast<int>(random() % 3);
        for (int k = 0; k < changes && !xml.empty(); ++k) {
            const size_t at = random() % xml.size();
            switch (random() % 5) {
            case 0:
                xml[at] = static_cast<char>(xml[at] ^ (1 << (random() % 8)));
                break;
            case 1:
                xml.erase(at, 1 + random() % 60);
                break;
            case 2:
                xml.insert(at, xml.substr(random() % xml.size(), 1 + random() % 300));
                break;
            case 3:
                xml.resize(at);
                break;
            default:
                xml.insert(at, inserts[random() % (sizeof(inserts) / sizeof(inserts[0]))]);
                break;
            }
        }
        report.SetCase(n);
        tinyxml2::XMLError error = tinyxml2::XML_SUCCESS;
        bool read = false;
        try {
            read = ParseTable(manager, xml, &error);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "seed " << seed << ", case " << n << ": " << e.what();
            break;
        }
        if (read) {
            ++parsed;
            EXPECT_LE(static_cast<size_t>(manager.GetText("BUTTON_NEXT").GetLength()), LanguageManager::MaxExpandedBytes)
                << "seed " << seed << ", case " << n;
        } else {
            ++refused;
        }
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "seed " << seed << ", case " << n;
            break;
        }
    }
    // Both ends are reached: changes that break a table and changes it survives.
    EXPECT_GT(parsed, 100);
    EXPECT_GT(refused, 100);
    printf("2000 changed tables: %d read, %d refused, %zu failures shown\n", parsed, refused,
           answerer.Texts().size());
}
