// Holds every locale table built into the program against its English table. A translation
// that drops a key leaves a control with its template text; one that loses a {KEY} reference,
// a [TOKEN] or a link shows raw placeholders or a dead link in that language only.
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

// The installer type's Spanish table has no SDK link, licence page or Back button.
const std::set<std::string> KeysMissingFromInstallerSpanish = {"SDK_LINK", "BUTTON_AGREE", "BUTTON_BACK"};

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
    return bytes.empty() ||
           MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                               nullptr, 0) > 0;
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
        "BUTTON_RETRY", "BUTTON_FINISH", "BUTTON_SKIP_ALL", "MSG_EXIT", "PROGRESS_QUIT"};
    std::set<std::string> installer = common;
    installer.insert({"EULA_LINK", "PROGRESS_STAT_INSTALLING", "PROGRESS_STAT_FINISHED", "PROGRESS_STATUS_MAIN",
                      "LAUNCH_CHECKBOX", "UNINSTALL_TEXT", "PAGE_ERROR_TITLE", "PAGE_ERROR_TEXT", "BUTTON_AGREE",
                      "BUTTON_BACK"});
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

    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                    static_cast<int>(wide.size())));
    return wide;
}

std::string DisplayedTextForLog(const std::wstring& text)
{
    std::string narrow(text.size() * 4, '\0');
    narrow.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                                      static_cast<int>(narrow.size()), nullptr, nullptr));
    return narrow;
}

struct WindowTraits {
    static HWND Invalid() noexcept { return nullptr; }
    static void Close(HWND window) noexcept { DestroyWindow(window); }
};
struct MemoryDcTraits {
    static HDC Invalid() noexcept { return nullptr; }
    static void Close(HDC dc) noexcept { DeleteDC(dc); }
};

// A hidden dialog in the font of the page templates, to measure texts in dialog units.
class DialogTextMeasure {
public:
    DialogTextMeasure()
    {
        // DLGTEMPLATE, no menu, default class, no title, then the pages' font: 10 point "Microsoft Sans Serif".
        alignas(DWORD) WORD templateWords[64] = {};
        DLGTEMPLATE* dialog = reinterpret_cast<DLGTEMPLATE*>(templateWords);
        dialog->style = DS_SETFONT | WS_POPUP;
        dialog->cx = 336;
        dialog->cy = 230;
        WORD* next = reinterpret_cast<WORD*>(dialog + 1);
        *next++ = 0; // menu
        *next++ = 0; // class
        *next++ = 0; // title
        *next++ = 10; // point size
        for (const wchar_t* face = L"Microsoft Sans Serif";; ++face) {
            *next++ = *face;
            if (!*face)
                break;
        }
        m_dialog.reset(CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialog, nullptr, NoMessages, 0));
        m_error = m_dialog ? 0 : GetLastError(); // 1400 when there is no X display
        m_dc.reset(CreateCompatibleDC(nullptr));
        if (m_dialog && m_dc)
            SelectObject(m_dc.get(), reinterpret_cast<HFONT>(SendMessageW(m_dialog.get(), WM_GETFONT, 0, 0)));
    }
    bool IsReady() const { return m_dialog && m_dc; }
    DWORD Error() const { return m_error; }

    SIZE ToPixels(int widthDlu, int heightDlu) const
    {
        RECT rect{0, 0, widthDlu, heightDlu};
        MapDialogRect(m_dialog.get(), &rect);
        return {rect.right, rect.bottom};
    }

    // The size the text takes when wrapped at the given width (one line when width is 0).
    SIZE TextSize(const std::wstring& text, int wrapWidthPixels) const
    {
        RECT rect{0, 0, wrapWidthPixels, 0};
        UINT format = DT_CALCRECT | DT_NOPREFIX | (wrapWidthPixels ? DT_WORDBREAK : DT_SINGLELINE);
        DrawTextW(m_dc.get(), text.c_str(), static_cast<int>(text.size()), &rect, format);
        return {rect.right, rect.bottom};
    }

private:
    static INT_PTR CALLBACK NoMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
    win32::UniqueResource<HWND, WindowTraits> m_dialog;
    win32::UniqueResource<HDC, MemoryDcTraits> m_dc;
    DWORD m_error = 0;
};

enum class ControlKind { Button, CheckOrRadio, Label, Text };

struct Control {
    const char* key;
    ControlKind kind;
    int width, height; // dialog units, as in the page templates
};

// The controls whose texts come from the tables, with the room the templates give them.
const Control CommonControls[] = {
    {"BUTTON_NEXT", ControlKind::Button, 71, 22},
    {"BUTTON_ACCEPT", ControlKind::Button, 71, 22},
    {"BUTTON_DECLINE", ControlKind::Button, 71, 22},
    {"BUTTON_CLOSE", ControlKind::Button, 71, 22},
    {"BUTTON_FINISH", ControlKind::Button, 71, 22},
    {"BUTTON_RETRY", ControlKind::Button, 71, 22},
    {"BUTTON_SKIP_ALL", ControlKind::Button, 71, 22},
    {"SPLASH_TEXT", ControlKind::Text, 280, 52},
    {"WELCOME_TITLE", ControlKind::Label, 111, 8},
    {"WELCOME_TEXT", ControlKind::Text, 189, 29},
    {"PROGRESS_TITLE", ControlKind::Label, 224, 8},
    {"PROGRESS_DESC", ControlKind::Text, 224, 51},
    {"PRODUCT_DISCLAIMER", ControlKind::Text, 326, 26},
    {"PAGE_FINISH_TITLE", ControlKind::Text, 198, 22},
};
const Control InstallerControls[] = {
    {"BUTTON_AGREE", ControlKind::Button, 71, 22},
    {"BUTTON_BACK", ControlKind::Button, 71, 22},
    {"LAUNCH_CHECKBOX", ControlKind::CheckOrRadio, 142, 10},
    {"PAGE_FINISH_TEXT", ControlKind::Text, 194, 23},
    {"PAGE_ERROR_TITLE", ControlKind::Text, 147, 19},
    {"PAGE_ERROR_TEXT", ControlKind::Text, 208, 26},
};
const Control DownloadControls[] = {
    {"LAUNCH_RADIO", ControlKind::CheckOrRadio, 64, 10},
    {"OPEN_FOLDER_RADIO", ControlKind::CheckOrRadio, 81, 10},
    {"PAGE_FINISH_TEXT", ControlKind::Text, 194, 30},
    {"PAGE_DOWNLOAD_ERROR_TITLE", ControlKind::Text, 147, 19},
    {"PAGE_DOWNLOAD_ERROR_DESC", ControlKind::Text, 208, 26},
    {"PAGE_CONFIGURATION_ERROR_TITLE", ControlKind::Text, 147, 19},
    {"PAGE_CONFIGURATION_ERROR_DESC", ControlKind::Text, 208, 26},
};

// Whether the text shows whole in the control; the reason when it does not.
std::string Clipping(const DialogTextMeasure& measure, const Control& control, const std::wstring& text)
{
    SIZE room = measure.ToPixels(control.width, control.height);
    switch (control.kind) {
    case ControlKind::Button:
        room.cx -= measure.ToPixels(8, 0).cx; // edges and focus rectangle
        break;
    case ControlKind::CheckOrRadio:
        room.cx -= measure.ToPixels(12, 0).cx; // the box or circle and its gap
        break;
    default:
        break;
    }
    bool oneLine = control.kind != ControlKind::Text;
    SIZE needed = measure.TextSize(text, oneLine ? 0 : room.cx);
    if (oneLine && needed.cx > room.cx)
        return "needs " + std::to_string(needed.cx) + " px of " + std::to_string(room.cx) + " px width";
    if (!oneLine && needed.cy > room.cy)
        return "needs " + std::to_string(needed.cy) + " px of " + std::to_string(room.cy) + " px height";
    return "";
}

} // namespace

TEST(LocaleTables, TextsFitTheirControls)
{
    DialogTextMeasure measure;
    ASSERT_TRUE(measure.IsReady()) << "dialog error " << measure.Error();
    for (const TableCase& param : AllTables) {
        ParsedTable table = LoadTable(param.id);
        ASSERT_EQ(table.error, "") << param.id;
        std::vector<Control> controls(std::begin(CommonControls), std::end(CommonControls));
        if (param.englishId == 101)
            controls.insert(controls.end(), std::begin(InstallerControls), std::end(InstallerControls));
        else
            controls.insert(controls.end(), std::begin(DownloadControls), std::end(DownloadControls));
        for (const Control& control : controls) {
            if (!table.texts.count(control.key))
                continue;
            std::wstring text = DisplayedText(table, control.key);
            EXPECT_EQ(Clipping(measure, control, text), "")
                << param.id << " (" << param.localeName << ") " << control.key << ": " << DisplayedTextForLog(text);
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

TEST(LocaleTables, ClassicFlowExtrasAreOnlyABlankLine)
{
    EXPECT_EQ(LocaleResourceBytes(120), std::optional<std::string>(" \r\n"));
}
