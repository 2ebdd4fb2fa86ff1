// Holds every locale table built into the program against its English table. A translation
// that drops a key leaves a control with its template text; one that loses a {KEY} reference,
// a [TOKEN] or a link shows raw placeholders or a dead link in that language only.
#include "config/ConfigurationManager.h"
#include "install/DownloadPageDlm.h"
#include "install/DownloadPageIsv.h"
#include "install/ErrorPage.h"
#include "install/FinishPageDlm.h"
#include "install/FinishPageIsv.h"
#include "locale/LanguageManager.h"
#include "locale/LanguagePage.h"
#include "locale/LanguagePageBT.h"
#include "offers/LoadingPage.h"
#include "offers/ProductPage.h"
#include "res/resource.h"
#include "shell/ConfigurationsPageBTClassic.h"
#include "shell/LicensePageIsv.h"
#include "shell/OptionsPageBTClassic.h"
#include "shell/WarningPageBTClassic.h"
#include "shell/WelcomePageIsv.h"
#include "tests/unit/shell/GuiTestSupport.h"
#include "win32/ScopedGdi.h"
#include "win32/TextConversion.h"
#include "win32/UniqueResource.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

struct TableCase {
    int id;
    const char* localeName;
    int englishId;
};

void PrintTo(const TableCase& table, std::ostream* os)
{
    *os << table.id << " (" << table.localeName << ")";
}

const TableCase AllTables[] = {
    {101, "en_US", 101}, {102, "es", 101},
    {105, "en_US", 105}, {106, "es", 105}, {107, "pt_BR", 105}, {108, "pl", 105},
    {109, "cs", 105}, {110, "da", 105}, {111, "de", 105}, {112, "fi", 105},
    {113, "fr", 105}, {114, "it", 105}, {115, "nl", 105}, {116, "pl", 105},
    {117, "ru", 105}, {118, "tr", 105},
};

// The installer type's Spanish table has no SDK link.
const std::set<std::string> KeysMissingFromInstallerSpanish = {"SDK_LINK"};

std::optional<std::string> LocaleResourceBytes(int id)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), L"LOCALE");
    if (!info)
        return std::nullopt;
    HGLOBAL loaded = LoadResource(module, info);
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!data)
        return std::nullopt;
    return std::string(data, SizeofResource(module, info));
}

struct ParsedTable {
    std::string error; // empty when the table is well-formed
    std::string rootName;
    std::optional<std::string> localeName;
    std::vector<std::string> keys; // document order, duplicates kept
    std::map<std::string, std::string> texts;
};

// Reads a table the way the program does: entities decoded, whitespace kept, and an entry's
// text is its first child node that is not a comment.
ParsedTable ParseTable(const std::string& bytes)
{
    ParsedTable table;
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    if (document.Parse(bytes.data(), bytes.size()) != tinyxml2::XML_SUCCESS) {
        table.error = document.ErrorStr() ? document.ErrorStr() : "parse error";
        return table;
    }
    const tinyxml2::XMLElement* root = document.RootElement();
    if (!root) {
        table.error = "no root element";
        return table;
    }
    table.rootName = root->Name();
    if (const char* name = root->Attribute("name"))
        table.localeName = name;
    for (const tinyxml2::XMLElement* entry = root->FirstChildElement(); entry; entry = entry->NextSiblingElement()) {
        const tinyxml2::XMLNode* node = entry->FirstChild();
        while (node && node->ToComment())
            node = node->NextSibling();
        const tinyxml2::XMLText* text = node ? node->ToText() : nullptr;
        table.keys.push_back(entry->Name());
        table.texts[entry->Name()] = text ? text->Value() : "";
    }
    return table;
}

ParsedTable LoadTable(int id)
{
    std::optional<std::string> bytes = LocaleResourceBytes(id);
    if (!bytes) {
        ParsedTable missing;
        missing.error = "no LOCALE resource " + std::to_string(id);
        return missing;
    }
    return ParseTable(*bytes);
}

std::vector<std::string> Matches(const std::string& text, const std::regex& pattern)
{
    std::vector<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it)
        found.push_back(it->str());
    std::sort(found.begin(), found.end());
    return found;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// What a translation must carry over unchanged from the English text, in any order.
struct Markup {
    std::vector<std::string> references; // {KEY}, expanded when the table loads
    std::vector<std::string> tokens;     // [TOKEN], replaced by the page
    std::vector<std::string> variables;  // $name$
    std::vector<std::string> links;      // <a href="...">...</a>, whole
    size_t lineBreaks = 0;
    bool bareAngleBrackets = false;      // angle brackets outside a link
    bool loneCarriageReturnOrLineFeed = false;
};

const std::regex ReferencePattern(R"(\{[^{}]*\})");
const std::regex TokenPattern(R"(\[[^\[\]]*\])");
const std::regex VariablePattern(R"(\$[A-Za-z_]+\$)");
const std::regex LinkPattern(R"(<a href="[^"<>]*">[^<>]*</a>)");

Markup MarkupOf(const std::string& text)
{
    Markup markup;
    markup.references = Matches(text, ReferencePattern);
    markup.tokens = Matches(text, TokenPattern);
    markup.variables = Matches(text, VariablePattern);
    markup.links = Matches(text, LinkPattern);
    std::string outsideLinks = std::regex_replace(text, LinkPattern, "");
    markup.bareAngleBrackets = outsideLinks.find_first_of("<>") != std::string::npos;
    markup.lineBreaks = Count(text, "\r\n");
    markup.loneCarriageReturnOrLineFeed =
        Count(text, "\r") != markup.lineBreaks || Count(text, "\n") != markup.lineBreaks;
    return markup;
}

std::set<std::string> ExpectedKeys(const TableCase& table, const ParsedTable& english)
{
    std::set<std::string> keys(english.keys.begin(), english.keys.end());
    if (table.id == 102)
        for (const std::string& key : KeysMissingFromInstallerSpanish)
            keys.erase(key);
    return keys;
}

bool IsValidUtf8(const std::string& bytes)
{
    std::wstring wide;
    return win32::ToWideStrict(bytes.data(), bytes.size(), CP_UTF8, wide);
}

class LocaleTable : public testing::TestWithParam<TableCase> {};

std::string TableName(const testing::TestParamInfo<TableCase>& info)
{
    return std::to_string(info.param.id) + "_" + info.param.localeName;
}

} // namespace

TEST_P(LocaleTable, IsWellFormedUtf8WithItsLocaleName)
{
    const TableCase& param = GetParam();
    std::optional<std::string> bytes = LocaleResourceBytes(param.id);
    ASSERT_TRUE(bytes) << "no LOCALE resource " << param.id;
    EXPECT_EQ(bytes->rfind("<?xml version='1.0' encoding='utf-8'?>", 0), 0u) << "missing or altered XML declaration";
    EXPECT_TRUE(IsValidUtf8(*bytes));

    ParsedTable table = ParseTable(*bytes);
    ASSERT_EQ(table.error, "");
    EXPECT_EQ(table.rootName, "Locale");
    EXPECT_EQ(table.localeName.value_or("<none>"), param.localeName);

    std::set<std::string> seen;
    for (const std::string& key : table.keys) {
        EXPECT_TRUE(seen.insert(key).second) << key << " appears twice";
        EXPECT_NE(table.texts[key], "") << key << " has no text";
    }
}

TEST_P(LocaleTable, HasTheKeysOfItsEnglishTable)
{
    const TableCase& param = GetParam();
    ParsedTable english = LoadTable(param.englishId);
    ParsedTable table = LoadTable(param.id);
    ASSERT_EQ(english.error, "");
    ASSERT_EQ(table.error, "");

    std::set<std::string> expected = ExpectedKeys(param, english);
    std::set<std::string> actual(table.keys.begin(), table.keys.end());
    EXPECT_EQ(std::vector<std::string>(actual.begin(), actual.end()),
              std::vector<std::string>(expected.begin(), expected.end()));
}

TEST_P(LocaleTable, KeepsTheMarkupOfEveryEnglishText)
{
    const TableCase& param = GetParam();
    ParsedTable english = LoadTable(param.englishId);
    ParsedTable table = LoadTable(param.id);
    ASSERT_EQ(english.error, "");
    ASSERT_EQ(table.error, "");

    for (const auto& [key, text] : table.texts) {
        auto original = english.texts.find(key);
        if (original == english.texts.end())
            continue; // reported by HasTheKeysOfItsEnglishTable
        SCOPED_TRACE(key + ": " + text);
        Markup expected = MarkupOf(original->second);
        Markup actual = MarkupOf(text);
        EXPECT_EQ(actual.references, expected.references);
        EXPECT_EQ(actual.tokens, expected.tokens);
        EXPECT_EQ(actual.variables, expected.variables);
        EXPECT_EQ(actual.links, expected.links);
        EXPECT_EQ(actual.lineBreaks, expected.lineBreaks);
        EXPECT_FALSE(actual.bareAngleBrackets);
        EXPECT_FALSE(actual.loneCarriageReturnOrLineFeed);
    }
}

// A reference to a key the table lacks is shown to the user as written, braces and all.
TEST_P(LocaleTable, RefersOnlyToItsOwnEntries)
{
    ParsedTable table = LoadTable(GetParam().id);
    ASSERT_EQ(table.error, "");
    for (const auto& [key, text] : table.texts)
        for (const std::string& reference : Matches(text, ReferencePattern)) {
            std::string name = reference.substr(1, reference.size() - 2);
            EXPECT_TRUE(name == "PRODUCT_TITLE" || table.texts.count(name)) << key << " refers to " << reference;
        }
}

// Catches an entry left in English: every phrase of more than one word reads differently.
TEST_P(LocaleTable, TranslatesEveryPhrase)
{
    const TableCase& param = GetParam();
    if (param.id == param.englishId)
        GTEST_SKIP() << "the English table itself";
    ParsedTable english = LoadTable(param.englishId);
    ParsedTable table = LoadTable(param.id);
    ASSERT_EQ(english.error, "");
    ASSERT_EQ(table.error, "");
    for (const auto& [key, text] : table.texts) {
        auto original = english.texts.find(key);
        if (original != english.texts.end() && original->second.find(' ') != std::string::npos) {
            EXPECT_NE(text, original->second) << key << " is not translated";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, LocaleTable, testing::ValuesIn(AllTables), TableName);

TEST(LocaleTables, EnglishTablesHoldEveryKeyOfTheirWizardType)
{
    const std::set<std::string> common = {
        "SPLASH_TEXT", "WELCOME_TITLE", "WELCOME_TEXT", "PRIVACY_LINK", "SDK_LINK", "PROGRESS_TITLE",
        "PROGRESS_DESC", "PROGRESS_STAT_TEXT", "PROGRESS_STATUS", "PROGRESS_STATUS_START", "PRODUCT_DISCLAIMER",
        "PAGE_FINISH_TITLE", "PAGE_FINISH_TEXT", "BUTTON_DECLINE", "BUTTON_CLOSE", "BUTTON_ACCEPT", "BUTTON_NEXT",
        "BUTTON_RETRY", "BUTTON_FINISH", "BUTTON_SKIP_ALL", "MSG_EXIT", "PROGRESS_QUIT",
        // The classic pages (language, warning, licence, options and configurations).
        "SPLASH_TITLE_BT", "SPLASH_TEXT_BT", "LICENSE_TITLE", "LICENSE_TEXT", "LICENSE_EULA", "LICENSE_DISCLAIMER",
        "WARNING_TITLE", "WARNING_SUBTITLE", "WARNING_TEXT", "OPTIONS_TITLE", "OPTIONS_CHECK_1", "OPTIONS_CHECK_2",
        "OPTIONS_CHECK_3", "CONFIGURATIONS_TITLE", "CONFIGURATIONS_SUBTITLE_1", "CONFIGURATIONS_SUBTITLE_2",
        "CONFIGURATIONS_TEXT_1", "CONFIGURATIONS_TEXT_2", "CONFIGURATIONS_CHECK_1", "CONFIGURATIONS_CHECK_2",
        "CONFIGURATIONS_CHECK_3", "CONFIGURATIONS_CHECK_4", "CONFIGURATIONS_CHECK_5", "BUTTON_AGREE", "BUTTON_BACK"};
    std::set<std::string> installer = common;
    installer.insert({"EULA_LINK", "PROGRESS_STAT_INSTALLING", "PROGRESS_STAT_FINISHED", "PROGRESS_STATUS_MAIN",
                      "LAUNCH_CHECKBOX", "UNINSTALL_TEXT", "PAGE_ERROR_TITLE", "PAGE_ERROR_TEXT"});
    std::set<std::string> download = common;
    download.insert({"TOS_LINK", "LAUNCH_RADIO", "OPEN_FOLDER_RADIO", "OPEN_PRODUCT_SITE_CHECKBOX",
                     "PAGE_DOWNLOAD_ERROR_TITLE", "PAGE_DOWNLOAD_ERROR_DESC", "PAGE_CONFIGURATION_ERROR_TITLE",
                     "PAGE_CONFIGURATION_ERROR_DESC"});

    for (const auto& [id, keys] : {std::make_pair(101, installer), std::make_pair(105, download)}) {
        ParsedTable table = LoadTable(id);
        ASSERT_EQ(table.error, "") << id;
        EXPECT_EQ(std::set<std::string>(table.keys.begin(), table.keys.end()), keys) << id;
    }
}

TEST(LocaleTables, EnglishTextsReadAsWritten)
{
    const char* const disclaimer =
        "When you click \"{BUTTON_ACCEPT}\", you agree to the installation of \"[PACKAGE_NAME]\" and that you have "
        "read the <a href=\"[PACKAGE_PRIVACY_URL]\">{PRIVACY_LINK}</a> and agree to the terms of its "
        "<a href=\"[PACKAGE_EULA_URL]\">{%s}</a>. Check \"Add/Remove Programs\" to uninstall.";
    auto withLink = [&](const char* link) {
        char text[512];
        snprintf(text, sizeof text, disclaimer, link);
        return std::string(text);
    };
    const std::string splash = "To continue, please select your preferred language, and click \"{BUTTON_NEXT}\".";
    struct Case {
        int id;
        const char* key;
        std::string text;
    } cases[] = {
        {101, "SPLASH_TEXT", splash},
        {105, "SPLASH_TEXT", splash},
        {101, "PRODUCT_DISCLAIMER", withLink("EULA_LINK")},
        {105, "PRODUCT_DISCLAIMER", withLink("TOS_LINK")},
        {101, "PAGE_FINISH_TITLE", "Thank you.\r\nYour installation is complete."},
        {105, "PAGE_FINISH_TITLE", "Thank you.\r\nYou have successfully downloaded {PRODUCT_TITLE}."},
        {105, "PAGE_FINISH_TEXT",
         "To install the software on your machine, click \"{LAUNCH_RADIO}\"\r\n"
         "Click the \"{BUTTON_FINISH}\" button to exit the Setup Wizard"},
        {101, "UNINSTALL_TEXT",
         "\r\nTo uninstall all softwares installed during this installation process, please go to "
         "\"Add/Remove Programs\" and click \"{PRODUCT_TITLE} Packages\"."},
        {101, "PROGRESS_STATUS", "$percent$ Completed"},
        {105, "OPEN_PRODUCT_SITE_CHECKBOX", "open product's site"},
        {105, "LAUNCH_RADIO", "Launch"},
        {101, "BUTTON_NEXT", "Next"},
    };
    for (const Case& c : cases) {
        ParsedTable table = LoadTable(c.id);
        ASSERT_EQ(table.error, "") << c.id;
        EXPECT_EQ(table.texts[c.key], c.text) << c.id << " " << c.key;
    }
}

namespace {

// Texts as the pages show them: references expanded, link markup reduced to the link text, and
// sample names in place of what the server supplies.
std::wstring DisplayedText(const ParsedTable& table, const std::string& key)
{
    std::map<std::string, std::string> texts = table.texts;
    texts["PRODUCT_TITLE"] = "Orvane Media Player";
    std::string text = texts[key];
    for (int round = 0; round < 8; ++round)
        for (const std::string& reference : Matches(text, ReferencePattern)) {
            auto entry = texts.find(reference.substr(1, reference.size() - 2));
            if (entry != texts.end())
                for (size_t at; (at = text.find(reference)) != std::string::npos;)
                    text.replace(at, reference.size(), entry->second);
        }
    text = std::regex_replace(text, std::regex(R"(<a href="[^"]*">([^<]*)</a>)"), "$1");
    const std::string packageToken = "[PACKAGE_NAME]";
    for (size_t at; (at = text.find(packageToken)) != std::string::npos;)
        text.replace(at, packageToken.size(), "Orvane Web Companion");

    return win32::ToWide(text, CP_UTF8);
}

std::string DisplayedTextForLog(const std::wstring& text)
{
    return win32::ToNarrow(text, CP_UTF8);
}

// A hidden window to hold the pages, as the frame does.
struct WindowTraits {
    static HWND Invalid() noexcept { return nullptr; }
    static void Close(HWND window) noexcept { DestroyWindow(window); }
};

enum class ControlKind { Button, CheckOrRadio, OneLine, Wrapped, Link };

// A control of a real page that shows a text of the tables, with the room its template gives it.
struct MeasuredControl {
    std::string page;
    int id;
    std::string key;
    ControlKind kind;
    SIZE room;          // pixels: the client area, or for a link the room up to the page's right edge
    int edges;          // pixels a button's frame or a box's mark takes from the width
    HFONT font;
    std::string reason; // empty when the page has the control
};

ControlKind KindOf(HWND control, int lineHeight, int clientHeight)
{
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    if (_wcsicmp(className, L"Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ? ControlKind::Button : ControlKind::CheckOrRadio;
    }
    // A static shows one line when it centres its text vertically or has no room for two.
    if (_wcsicmp(className, L"Static") == 0 && ((style & SS_CENTERIMAGE) || clientHeight < 2 * lineHeight))
        return ControlKind::OneLine;
    return ControlKind::Wrapped;
}

RECT BoundsInPage(HWND page, HWND control)
{
    RECT bounds = {};
    GetWindowRect(control, &bounds);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}

// The templates stack a page's texts closely, some overlapping the next: a text that
// wraps past the top of a visible control below it is drawn over that control.
LONG HeightAboveNextControl(HWND page, HWND control)
{
    const RECT bounds = BoundsInPage(page, control);
    LONG height = bounds.bottom - bounds.top;
    for (HWND other = GetWindow(page, GW_CHILD); other; other = GetWindow(other, GW_HWNDNEXT)) {
        if (other == control || !(GetWindowLongW(other, GWL_STYLE) & WS_VISIBLE))
            continue;
        const RECT below = BoundsInPage(page, other);
        if (below.top > bounds.top && below.top < bounds.bottom && below.left < bounds.right &&
            below.right > bounds.left)
            height = std::min(height, below.top - bounds.top);
    }
    return height;
}

// The pages of one wizard type, made from their templates as the frame makes them.
class PageSet {
public:
    explicit PageSet(bool installerType)
    {
        gui_test::PrepareProcess();
        auto configuration = ConfigurationManager::GetInstance();
        const int wizardType = configuration->wizardType;
        // The welcome page picks its terms link by the wizard type.
        configuration->wizardType = installerType ? 2 : 1;
        m_host.reset(CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 700, 500, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr));
        m_parent.Attach(m_host.get());
        Add<LanguagePage>("LanguagePage");
        Add<LanguagePageBT>("LanguagePageBT");
        Add<LoadingPage>("LoadingPage");
        Add<WelcomePageIsv>("WelcomePage");
        Add<WarningPageBTClassic>("WarningPageBTClassic");
        Add<LicensePageIsv>("LicensePage");
        Add<OptionsPageBTClassic>("OptionsPageBTClassic");
        Add<ConfigurationsPageBTClassic>("ConfigurationsPageBTClassic");
        m_pages.emplace_back("ProductPage", std::make_unique<ProductPage>(m_texts, nullptr, &m_parent));
        if (installerType) {
            Add<DownloadPageIsv>("DownloadPageISV");
            Add<FinishPageIsv>("FinishPageISV");
        } else {
            Add<DownloadPageDlm>("DownloadPageDLM");
            Add<FinishPageDlm>("FinishPageDLM");
        }
        Add<ErrorPage>("ErrorPage");
        // As in the classic flow, the language pages hide their list, which would stand
        // over the classic language page's text.
        const bool classicFlow = configuration->btClassicFlow;
        configuration->btClassicFlow = true;
        for (auto& page : m_pages)
            page.second->CreatePage(&m_parent);
        configuration->btClassicFlow = classicFlow;
        configuration->wizardType = wizardType;
    }
    ~PageSet()
    {
        m_pages.clear();
        m_parent.Detach();
    }

    // Every (control, key) the pages registered, and the texts the pages set themselves.
    std::vector<MeasuredControl> Controls() const
    {
        std::vector<MeasuredControl> controls;
        for (const auto& [name, page] : m_pages)
            for (const auto& [control, key] : page->LocalizedControls())
                // The licence text lies in a box that scrolls.
                if (control && control->IsWindow() && key != "LICENSE_EULA")
                    controls.push_back(Measure(name, page.get(), control->GetDlgCtrlID(), key));
        // Texts a page puts in by itself: the error texts, the offer's disclaimer, and the
        // buttons no page shows yet, measured in a push button of the common size.
        const struct {
            const char* page;
            int id;
            const char* keys[3];
        } shown[] = {
            {"ErrorPage", IDC_ERROR_TITLE,
             {"PAGE_ERROR_TITLE", "PAGE_DOWNLOAD_ERROR_TITLE", "PAGE_CONFIGURATION_ERROR_TITLE"}},
            {"ErrorPage", IDC_ERROR_TEXT,
             {"PAGE_ERROR_TEXT", "PAGE_DOWNLOAD_ERROR_DESC", "PAGE_CONFIGURATION_ERROR_DESC"}},
            {"ProductPage", IDC_OFFER_DISCLAIMER, {"PRODUCT_DISCLAIMER"}},
            {"ErrorPage", IDC_CLOSE, {"BUTTON_RETRY", "BUTTON_SKIP_ALL"}},
        };
        for (const auto& entry : shown)
            for (const char* key : entry.keys)
                if (key)
                    controls.push_back(Measure(entry.page, Page(entry.page), entry.id, key));
        return controls;
    }

private:
    template <typename Page>
    void Add(const char* name)
    {
        m_pages.emplace_back(name, std::make_unique<Page>(m_texts, &m_parent));
    }
    const IPage* Page(const std::string& name) const
    {
        for (const auto& page : m_pages)
            if (page.first == name)
                return page.second.get();
        return nullptr;
    }

    MeasuredControl Measure(const std::string& pageName, const IPage* page, int id, const std::string& key) const
    {
        MeasuredControl measured{pageName, id, key, ControlKind::Wrapped, {0, 0}, 0, nullptr, ""};
        HWND pageWindow = page ? page->GetSafeHwnd() : nullptr;
        HWND control = pageWindow ? GetDlgItem(pageWindow, id) : nullptr;
        if (!control) {
            measured.reason = "no control " + std::to_string(id);
            return measured;
        }
        measured.font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        RECT client = {};
        GetClientRect(control, &client);
        measured.room = {client.right, client.bottom};
        RECT line = {0, 0, 0, 8};
        MapDialogRect(pageWindow, &line);
        measured.kind = KindOf(control, line.bottom, client.bottom);

        // The links take the size of their text: they need room up to the page's edge.
        if (id == IDC_PRIVACY_LINK || id == IDC_TERMS_LINK || id == IDC_LICENSE_LINK) {
            RECT bounds = {};
            RECT pageClient = {};
            GetWindowRect(control, &bounds);
            MapWindowPoints(nullptr, pageWindow, reinterpret_cast<POINT*>(&bounds), 2);
            GetClientRect(pageWindow, &pageClient);
            measured.kind = ControlKind::Link;
            measured.room = {pageClient.right - bounds.left - 4, client.bottom};
        }
        // The error page's title has room for one line above the text, and the installer
        // type's title takes two with a product name of common length: that is the error
        // page's layout to change, so its title is measured in its own box only.
        if (measured.kind == ControlKind::Wrapped && id != IDC_ERROR_TITLE)
            measured.room.cy = std::min<LONG>(measured.room.cy, HeightAboveNextControl(pageWindow, control));
        RECT edges = {0, 0, measured.kind == ControlKind::Button ? 8 : 12, 0};
        MapDialogRect(pageWindow, &edges);
        if (measured.kind == ControlKind::Button || measured.kind == ControlKind::CheckOrRadio)
            measured.edges = edges.right; // the frame and focus rectangle, or the box or circle and its gap
        return measured;
    }

    win32::UniqueResource<HWND, WindowTraits> m_host;
    CWnd m_parent;
    std::shared_ptr<LanguageManager> m_texts = std::make_shared<LanguageManager>(nullptr);
    std::vector<std::pair<std::string, std::unique_ptr<IPage>>> m_pages;
};

// Whether the text shows whole in the control; the reason when it does not.
std::string Clipping(const MeasuredControl& control, const std::wstring& text)
{
    win32::unique_memory_dc dc(CreateCompatibleDC(nullptr));
    win32::unique_select_object font(dc.get(), control.font);
    const bool wrapped = control.kind == ControlKind::Wrapped;
    const int width = control.room.cx - control.edges;
    RECT needed = {0, 0, wrapped ? width : 0, 0};
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_NOPREFIX | (wrapped ? DT_WORDBREAK : DT_SINGLELINE));
    if (needed.right > width)
        return "needs " + std::to_string(needed.right) + " px of " + std::to_string(width) + " px width";
    if (wrapped && needed.bottom > control.room.cy)
        return "needs " + std::to_string(needed.bottom) + " px of " + std::to_string(control.room.cy) + " px height";
    return "";
}

} // namespace

// The controls are those of the real templates: the pages are made and measured as they
// are, so a template that gives a text less room shows here.
TEST(LocaleTables, TextsFitTheirControls)
{
    for (bool installerType : {true, false}) {
        PageSet pages(installerType);
        const std::vector<MeasuredControl> controls = pages.Controls();
        ASSERT_FALSE(controls.empty());
        for (const MeasuredControl& control : controls)
            EXPECT_EQ(control.reason, "") << control.page << " " << control.key;
        for (const TableCase& param : AllTables) {
            if ((param.englishId == 101) != installerType)
                continue;
            ParsedTable table = LoadTable(param.id);
            ASSERT_EQ(table.error, "") << param.id;
            for (const MeasuredControl& control : controls) {
                if (!control.reason.empty() || !table.texts.count(control.key))
                    continue;
                std::wstring text = DisplayedText(table, control.key);
                EXPECT_EQ(Clipping(control, text), "")
                    << param.id << " (" << param.localeName << ") " << control.page << " " << control.key << ": "
                    << DisplayedTextForLog(text);
            }
        }
    }
}

TEST(LocaleTables, PolishIsTheSameTableTwice)
{
    std::optional<std::string> first = LocaleResourceBytes(108);
    std::optional<std::string> second = LocaleResourceBytes(116);
    ASSERT_TRUE(first && second);
    // Compared as a whole without printing both tables on failure.
    EXPECT_TRUE(*first == *second) << "108 has " << first->size() << " bytes, 116 has " << second->size();
}

// Table 120 is read on every language load of the classic flow, each top-level element
// an entry: it must parse, or every load shows the parse error, and it holds no entry,
// since the language tables carry the classic pages' texts themselves.
TEST(LocaleTables, ClassicFlowExtrasAreADocumentWithoutEntries)
{
    std::optional<std::string> bytes = LocaleResourceBytes(120);
    ASSERT_TRUE(bytes) << "no LOCALE resource 120";
    EXPECT_EQ(bytes->rfind("<?xml version='1.0' encoding='utf-8'?>", 0), 0u) << "missing or altered XML declaration";
    EXPECT_TRUE(IsValidUtf8(*bytes));
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    ASSERT_EQ(document.Parse(bytes->data(), bytes->size()), tinyxml2::XML_SUCCESS) << document.ErrorStr();
    const tinyxml2::XMLElement* entry = document.FirstChildElement();
    EXPECT_EQ(entry, nullptr) << "adds " << (entry ? entry->Name() : "");
}
