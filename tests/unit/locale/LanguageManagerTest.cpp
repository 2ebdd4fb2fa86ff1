#include "config/BuildSettings.h"
#include "config/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <string>
#include <vector>

using testing_support::MessageBoxAnswerer;

namespace {

const bool DownloadType = std::string(build::WizardTypeName) == "DLM";

// Parses a table of the test's own into a fresh manager.
struct Loaded {
    explicit Loaded(const char* xml)
    {
        tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
        parsed = document.Parse(xml) == tinyxml2::XML_SUCCESS && manager.ParseLocale(document);
    }
    CString Text(const char* key) const { return manager.GetText(key); }
    LanguageManager manager{nullptr};
    bool parsed = false;
};

// A window holding one combo box, for the language list.
struct ComboHost {
    ComboHost()
    {
        window = CreateWindowExW(0, L"ComboBox", L"", WS_POPUP | CBS_DROPDOWNLIST, 0, 0, 200, 200, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        combo.Attach(window);
    }
    ~ComboHost()
    {
        combo.Detach();
        DestroyWindow(window);
    }
    std::vector<CString> Items() const
    {
        std::vector<CString> items;
        for (int i = 0; i < combo.GetCount(); ++i)
            items.push_back(combo.GetLBText(i));
        return items;
    }
    HWND window;
    CComboBox combo;
};

std::function<CString()> UserLocale(const wchar_t* name)
{
    return [text = CString(name)] { return text; };
}

// Sets the configuration's classic-flow flag for one test, as the build option does.
class ClassicFlow {
public:
    explicit ClassicFlow(bool on) : m_saved(ConfigurationManager::GetInstance()->btClassicFlow)
    {
        ConfigurationManager::GetInstance()->btClassicFlow = on;
    }
    ~ClassicFlow() { ConfigurationManager::GetInstance()->btClassicFlow = m_saved; }
    ClassicFlow(const ClassicFlow&) = delete;
    ClassicFlow& operator=(const ClassicFlow&) = delete;

private:
    bool m_saved;
};

// Every key of a table, with the text the manager gives for it.
std::vector<std::pair<std::string, CString>> TextsOfTable(const LanguageManager& manager, int id)
{
    std::vector<std::pair<std::string, CString>> texts;
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    if (!manager.LoadLocaleResource(id, document) || !document.FirstChildElement("Locale"))
        return texts;
    for (auto* entry = document.FirstChildElement("Locale")->FirstChildElement(); entry;
         entry = entry->NextSiblingElement())
        texts.emplace_back(entry->Name(), manager.GetText(entry->Name()));
    return texts;
}

} // namespace

TEST(LanguageManager, ExpandsReferencesWhateverTheKeyOrder)
{
    Loaded table(R"(<?xml version='1.0' encoding='utf-8'?>
<Locale name="en_US">
  <SPLASH_TEXT>click "{BUTTON_NEXT}".</SPLASH_TEXT>
  <BUTTON_NEXT>Next</BUTTON_NEXT>
  <A_FIRST>{M_MIDDLE}!</A_FIRST>
  <M_MIDDLE>[{Z_LAST}]</M_MIDDLE>
  <Z_LAST>end</Z_LAST>
  <Z_TOP>{M_DOWN}?</Z_TOP>
  <M_DOWN>({A_BOTTOM})</M_DOWN>
  <A_BOTTOM>start</A_BOTTOM>
  <KEPT>{NO_SUCH_KEY} and {} and {open</KEPT>
  <TWICE>{BUTTON_NEXT}{BUTTON_NEXT}</TWICE>
</Locale>)");
    ASSERT_TRUE(table.parsed);
    EXPECT_EQ(table.Text("SPLASH_TEXT"), L"click \"Next\".");
    EXPECT_EQ(table.Text("A_FIRST"), L"[end]!");
    EXPECT_EQ(table.Text("Z_TOP"), L"(start)?");
    EXPECT_EQ(table.Text("KEPT"), L"{NO_SUCH_KEY} and {} and {open");
    EXPECT_EQ(table.Text("TWICE"), L"NextNext");
    EXPECT_EQ(table.Text("ABSENT"), L"");
}

TEST(LanguageManager, AReferenceCycleEnds)
{
    Loaded table(R"(<Locale name="en_US">
  <SELF>a{SELF}</SELF>
  <PING>{PONG}</PING>
  <PONG>{PING}</PONG>
  <NEXT>Next</NEXT>
</Locale>)");
    ASSERT_TRUE(table.parsed);
    CString self = table.Text("SELF");
    EXPECT_EQ(self, CString(L'a', LanguageManager::MaxReferenceDepth + 1) + L"{SELF}");
    EXPECT_EQ(table.Text("PING").Find(L"{P"), 0);
    EXPECT_EQ(table.Text("NEXT"), L"Next");
}

TEST(LanguageManager, DecodesEntitiesKeepsWhitespaceAndSkipsComments)
{
    Loaded table(R"(<Locale name="en_US">
  <TWO_LINES>Thank you.&#13;&#10;Done.</TWO_LINES>
  <MARKUP>read the &lt;a href="[PACKAGE_PRIVACY_URL]"&gt;{LINK}&lt;/a&gt;</MARKUP>
  <LINK>Privacy Policy</LINK>
  <SPACED>  two  spaces </SPACED>
  <COMMENTED><!-- a note -->text</COMMENTED>
  <!-- between entries -->
  <TWICE>first</TWICE>
  <TWICE>second</TWICE>
</Locale>)");
    ASSERT_TRUE(table.parsed);
    EXPECT_EQ(table.Text("TWO_LINES"), L"Thank you.\r\nDone.");
    EXPECT_EQ(table.Text("MARKUP"), L"read the <a href=\"[PACKAGE_PRIVACY_URL]\">Privacy Policy</a>");
    EXPECT_EQ(table.Text("SPACED"), L"  two  spaces ");
    EXPECT_EQ(table.Text("COMMENTED"), L"text");
    EXPECT_EQ(table.Text("TWICE"), L"second");
}

TEST(LanguageManager, TheProductTitleComesFromTheConfigurationUnlessTheTableHasOne)
{
    auto configuration = ConfigurationManager::GetInstance();
    CString saved = configuration->productTitle;
    configuration->productTitle = L"Wörterbuch {PRODUCT_TITLE}";
    Loaded fromConfiguration(R"(<Locale name="de"><WELCOME>Willkommen bei {PRODUCT_TITLE}</WELCOME></Locale>)");
    Loaded fromTable(R"(<Locale name="de"><PRODUCT_TITLE>Eigen</PRODUCT_TITLE><W>{PRODUCT_TITLE}</W></Locale>)");
    configuration->productTitle = saved;

    // A title that names itself still ends.
    CString welcome = fromConfiguration.Text("WELCOME");
    EXPECT_EQ(welcome.Find(L"Willkommen bei Wörterbuch Wörterbuch"), 0) << ToAnsi(welcome);
    EXPECT_EQ(fromTable.Text("W"), L"Eigen");
}

TEST(LanguageManager, ABrokenTableIsReportedAndLoadingStops)
{
    Loaded table(R"(<Locale name="en_US"><BUTTON_NEXT>Next</BUTTON_NEXT></Locale>)");
    ASSERT_TRUE(table.parsed);
    MessageBoxAnswerer answerer;

    tinyxml2::XMLDocument noLocale;
    noLocale.Parse("<Other name=\"x\"><BUTTON_NEXT>Weiter</BUTTON_NEXT></Other>");
    EXPECT_FALSE(table.manager.ParseLocale(noLocale));
    EXPECT_EQ(table.Text("BUTTON_NEXT"), L"Next");

    tinyxml2::XMLDocument emptyEntry(true, tinyxml2::PRESERVE_WHITESPACE);
    emptyEntry.Parse("<Locale name=\"x\"><A>a {B}</A><B>b</B><EMPTY/><C>c</C></Locale>");
    EXPECT_FALSE(table.manager.ParseLocale(emptyEntry));
    EXPECT_EQ(table.Text("A"), L"a {B}");
    EXPECT_EQ(table.Text("B"), L"b");
    EXPECT_EQ(table.Text("C"), L"");
    EXPECT_EQ(table.Text("BUTTON_NEXT"), L"");

    auto texts = answerer.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], L"Failed to parse language xml file, error code: No Locale element");
    EXPECT_EQ(texts[1], L"Failed to parse language xml file, error code: No name or text attribute");
}

TEST(LanguageManager, ReportsAMissingResourceAndReadsTheOthers)
{
    LanguageManager manager(nullptr);
    MessageBoxAnswerer answerer;
    tinyxml2::XMLDocument missing;
    EXPECT_FALSE(manager.LoadLocaleResource(999, missing));
    tinyxml2::XMLDocument extras;
    EXPECT_TRUE(manager.LoadLocaleResource(120, extras));
    EXPECT_EQ(extras.FirstChildElement(), nullptr);
    tinyxml2::XMLDocument table;
    EXPECT_TRUE(manager.LoadLocaleResource(DownloadType ? 105 : 101, table));
    EXPECT_NE(table.FirstChildElement("Locale"), nullptr);
    auto texts = answerer.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], L"Failed to find resource with id: 999");
}

TEST(LanguageManager, ListsTheTablesOfTheWizardType)
{
    LanguageManager manager(nullptr);
    std::vector<int> expected = DownloadType ? std::vector<int>{105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115,
                                                                116, 117, 118}
                                             : std::vector<int>{101, 102};
    EXPECT_EQ(manager.GetLocaleResourceIds(), expected);

    auto configuration = ConfigurationManager::GetInstance();
    int saved = configuration->wizardType;
    MessageBoxAnswerer answerer;
    configuration->wizardType = 0;
    EXPECT_TRUE(manager.GetLocaleResourceIds().empty());
    configuration->wizardType = 3;
    EXPECT_TRUE(manager.GetLocaleResourceIds().empty());
    configuration->wizardType = saved;
    ASSERT_EQ(answerer.Texts().size(), 1u);
    EXPECT_EQ(answerer.Texts()[0], L"Unknown wizard type (language manager");
}

TEST(LanguageManager, DisplayNamesAreTheLanguagesOwnNames)
{
    struct Case {
        const wchar_t* locale;
        const wchar_t* name;
    } cases[] = {{L"en_US", L"English"}, {L"de", L"Deutsch"}, {L"de-DE", L"Deutsch"}, {L"xx_YY", L"xx_YY"}};
    for (const auto& c : cases)
        EXPECT_EQ(LanguageManager::GetLanguageDisplayName(c.locale), c.name) << ToAnsi(c.locale);
    EXPECT_EQ(LanguageManager::GetLanguageDisplayName(L"pt_BR"), LanguageManager::GetLanguageDisplayName(L"pt-PT"));
}

TEST(LanguageManager, PreselectsTheUsersLanguage)
{
    struct Case {
        const wchar_t* userLocale;
        int dlmIndex;
        int isvIndex;
    } cases[] = {
        {L"de-DE", 6, 0},  // German
        {L"pt-PT", 2, 0},  // the Brazilian table has the same language name
        {L"es-MX", 1, 1},  // Spanish
        {L"ru-RU", 12, 0}, // Russian
        {L"sw-KE", 0, 0},  // no table: the first entry
        {L"", 0, 0},       // the query failed: English
    };
    for (const auto& c : cases) {
        ComboHost host;
        LanguageManager manager(nullptr);
        manager.SetUserLocaleQuery(UserLocale(c.userLocale));
        manager.FillLanguageCombo(host.combo);
        EXPECT_EQ(host.combo.GetCurSel(), DownloadType ? c.dlmIndex : c.isvIndex) << ToAnsi(c.userLocale);
    }
}

TEST(LanguageManager, TheListShowsEveryTableInResourceOrder)
{
    ComboHost host;
    LanguageManager manager(nullptr);
    manager.SetUserLocaleQuery(UserLocale(L"de-DE"));
    manager.FillLanguageCombo(host.combo);
    auto items = host.Items();
    if (!DownloadType) {
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(items[0], L"English");
        EXPECT_EQ(items[1], LanguageManager::GetLanguageDisplayName(L"es"));
        return;
    }
    const wchar_t* locales[] = {L"en_US", L"es", L"pt_BR", L"pl", L"cs", L"da", L"de",
                                L"fi",    L"fr", L"it",    L"nl", L"pl", L"ru", L"tr"};
    ASSERT_EQ(items.size(), 14u);
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i], LanguageManager::GetLanguageDisplayName(locales[i])) << i;
    EXPECT_EQ(items[6], L"Deutsch");
    EXPECT_EQ(items[3], items[11]);
}

TEST(LanguageManager, SelectingALanguageLoadsItsTableAndRecordsIt)
{
    ComboHost host;
    LanguageManager manager(nullptr);
    manager.SetUserLocaleQuery(UserLocale(L"en-US"));
    manager.FillLanguageCombo(host.combo);
    auto configuration = ConfigurationManager::GetInstance();

    ASSERT_TRUE(manager.SelectLanguage(L"English"));
    EXPECT_EQ(manager.GetText("SPLASH_TEXT"), L"To continue, please select your preferred language, and click \"Next\".");
    EXPECT_EQ(configuration->languageName, L"English");
    EXPECT_EQ(configuration->localeName, L"en_US");
    if (DownloadType) {
        EXPECT_EQ(manager.GetText("PAGE_FINISH_TEXT"),
                  L"To install the software on your machine, click \"Launch\"\r\nClick the \"Finish\" button to exit "
                  L"the Setup Wizard");
        EXPECT_EQ(manager.GetText("PAGE_FINISH_TITLE"),
                  CString(L"Thank you.\r\nYou have successfully downloaded ") + configuration->productTitle + L".");

        ASSERT_TRUE(manager.SelectLanguage(L"Deutsch"));
        EXPECT_EQ(configuration->languageName, L"Deutsch");
        EXPECT_EQ(configuration->localeName, L"de");
        EXPECT_NE(manager.GetText("BUTTON_NEXT"), L"Next");
        EXPECT_GE(manager.GetText("SPLASH_TEXT").Find(L"„" + manager.GetText("BUTTON_NEXT") + L"“"), 0);
    }

    // An unknown name changes nothing.
    CString before = manager.GetText("BUTTON_NEXT");
    EXPECT_FALSE(manager.SelectLanguage(L"Klingon"));
    EXPECT_EQ(manager.GetText("BUTTON_NEXT"), before);
    configuration->languageName.Empty();
    configuration->localeName.Empty();
}

// The classic flow reads the extra table on every load: each language loads without a
// message and gives the texts it gives without the flow.
TEST(LanguageManager, TheClassicFlowLoadsEveryLanguageSilently)
{
    MessageBoxAnswerer answerer;
    LanguageManager manager(nullptr);
    manager.SetUserLocaleQuery(UserLocale(L"en-US"));
    ComboHost host;
    {
        ClassicFlow flow(true);
        manager.FillLanguageCombo(host.combo);
    }
    const std::vector<CString> languages = host.Items();
    const std::vector<int> ids = manager.GetLocaleResourceIds();
    ASSERT_EQ(languages.size(), ids.size());
    ASSERT_FALSE(languages.empty());

    for (size_t i = 0; i < languages.size(); ++i) {
        SCOPED_TRACE(ToAnsi(languages[i]) + " (" + std::to_string(ids[i]) + ")");
        std::vector<std::pair<std::string, CString>> plain;
        {
            ClassicFlow flow(false);
            ASSERT_TRUE(manager.SelectLanguage(languages[i]));
            plain = TextsOfTable(manager, ids[i]);
        }
        ClassicFlow flow(true);
        ASSERT_TRUE(manager.SelectLanguage(languages[i]));
        ASSERT_FALSE(plain.empty());
        EXPECT_EQ(TextsOfTable(manager, ids[i]), plain);
    }
    EXPECT_EQ(answerer.Texts(), std::vector<std::wstring>());
    auto configuration = ConfigurationManager::GetInstance();
    configuration->languageName.Empty();
    configuration->localeName.Empty();
}
