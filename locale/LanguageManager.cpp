#include "locale/LanguageManager.h"

#include "config/ConfigurationManager.h"
#include "framework/Afx.h"
#include "shell/IPage.h"
#include "win32/TextConversion.h"

#include <tinyxml2.h>

#include <algorithm>

namespace {

const int ClassicFlowExtrasId = 120;

void ShowParseFailure(const char* reason)
{
    AfxMessageBox(CString(L"Failed to parse language xml file, error code: ") + CString(reason ? reason : ""));
}

CString FromUtf8(const std::string& text)
{
    std::wstring wide = win32::ToWide(text, CP_UTF8);
    size_t zero = wide.find(L'\0');
    if (zero != std::wstring::npos)
        wide.resize(zero);
    return CString(std::move(wide));
}

std::string ToUtf8(const CString& text)
{
    return win32::ToNarrow(text.str(), CP_UTF8);
}

const tinyxml2::XMLElement* FindLocaleElement(const tinyxml2::XMLDocument& document)
{
    return document.FirstChildElement("Locale");
}

// The element's text: its first child that is not a comment, when that is text.
const char* ElementText(const tinyxml2::XMLElement* element)
{
    for (const tinyxml2::XMLNode* node = element->FirstChild(); node; node = node->NextSibling()) {
        if (node->ToComment())
            continue;
        const tinyxml2::XMLText* text = node->ToText();
        return text ? text->Value() : nullptr;
    }
    return nullptr;
}

CString DefaultUserLocale()
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) == 0)
        return CString();
    return CString(name);
}

} // namespace

LanguageManager::LanguageManager(CWnd* owner) : m_owner(owner), m_userLocaleQuery(&DefaultUserLocale) {}

std::vector<int> LanguageManager::GetLocaleResourceIds() const
{
    switch (ConfigurationManager::GetInstance()->wizardType) {
    case 1: {
        std::vector<int> ids;
        for (int id = 105; id <= 118; ++id)
            ids.push_back(id);
        return ids;
    }
    case 2:
        return {101, 102};
    case 0:
        AfxMessageBox(L"Unknown wizard type (language manager");
        return {};
    default:
        return {};
    }
}

CString LanguageManager::GetLanguageDisplayName(const CString& localeName)
{
    wchar_t buffer[85] = {};
    if (GetLocaleInfoEx(localeName, LOCALE_SNATIVELANGUAGENAME, buffer, 85) > 0)
        return CString(buffer);
    if (localeName.GetLength() > 2) {
        CString language = localeName.Left(2);
        if (GetLocaleInfoEx(language, LOCALE_SNATIVELANGUAGENAME, buffer, 85) > 0)
            return CString(buffer);
    }
    return localeName;
}

bool LanguageManager::LoadLocaleResource(int id, tinyxml2::XMLDocument& document) const
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"LOCALE");
    CString message;
    if (!resource) {
        message.Format(L"Failed to find resource with id: %d", id);
        AfxMessageBox(message);
        return false;
    }
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded) {
        message.Format(L"Failed to load resource with id: %d", id);
        AfxMessageBox(message);
        return false;
    }
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    DWORD size = SizeofResource(module, resource);
    if (!bytes || document.Parse(bytes, size) != tinyxml2::XML_SUCCESS) {
        ShowParseFailure(bytes ? document.ErrorStr() : "");
        return false;
    }
    return true;
}

bool LanguageManager::ParseLocale(tinyxml2::XMLDocument& document)
{
    const tinyxml2::XMLElement* locale = FindLocaleElement(document);
    if (!locale) {
        ShowParseFailure("No Locale element");
        return false;
    }
    m_texts.clear();
    auto configuration = ConfigurationManager::GetInstance();
    m_texts["PRODUCT_TITLE"] = ToUtf8(configuration->productTitle);

    if (configuration->btClassicFlow) {
        tinyxml2::XMLDocument extras(true, tinyxml2::PRESERVE_WHITESPACE);
        if (LoadLocaleResource(ClassicFlowExtrasId, extras)) {
            for (const tinyxml2::XMLElement* e = extras.FirstChildElement(); e; e = e->NextSiblingElement()) {
                const char* text = ElementText(e);
                m_texts[e->Name()] = text ? text : "";
            }
        }
    }

    for (const tinyxml2::XMLElement* e = locale->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const char* text = ElementText(e);
        if (!text) {
            ShowParseFailure("No name or text attribute");
            return false;
        }
        m_texts[e->Name()] = text;
    }
    ExpandReferences();
    return true;
}

void LanguageManager::Expand(const std::string& text, int depth, std::string& result, size_t& references) const
{
    size_t p = 0;
    for (;;) {
        size_t open = text.find('{', p);
        if (open == std::string::npos)
            break;
        size_t close = text.find('}', open + 1);
        if (close == std::string::npos)
            break;
        auto entry = m_texts.find(text.substr(open + 1, close - open - 1));
        result.append(text, p, open - p);
        // Absent keys stay as written, and so does a reference that would go too deep or
        // make the text longer than any text of a page: a title from the server made of
        // references to itself would otherwise grow beyond any memory and time. Each
        // reference counts as a byte, so references to empty texts are bounded too.
        if (entry == m_texts.end() || depth >= MaxReferenceDepth || result.size() + references >= MaxExpandedBytes) {
            result.append(text, open, close + 1 - open);
        } else {
            ++references;
            Expand(entry->second, depth + 1, result, references);
        }
        p = close + 1;
    }
    result.append(text, p, std::string::npos);
}

void LanguageManager::ExpandReferences()
{
    // Every entry is expanded from the texts as loaded, so the order of keys does not matter.
    std::map<std::string, std::string> expanded;
    for (const auto& entry : m_texts) {
        std::string text;
        size_t references = 0;
        Expand(entry.second, 0, text, references);
        expanded.emplace(entry.first, std::move(text));
    }
    m_texts.swap(expanded);
}

void LanguageManager::FillLanguageCombo(CComboBox& combo)
{
    std::vector<int> ids = GetLocaleResourceIds();
    m_resourceIds.clear();
    m_localeNames.clear();
    combo.ResetContent();

    CString userLocale = m_userLocaleQuery ? m_userLocaleQuery() : CString();
    CString defaultLanguage = userLocale.IsEmpty() ? CString() : GetLanguageDisplayName(userLocale);
    if (defaultLanguage.IsEmpty())
        defaultLanguage = L"English";

    int selection = 0;
    for (int id : ids) {
        tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
        if (!LoadLocaleResource(id, document))
            continue;
        const tinyxml2::XMLElement* locale = FindLocaleElement(document);
        if (!locale)
            continue;
        const char* name = locale->Attribute("name");
        if (!name) {
            ShowParseFailure("No name attribute");
            continue;
        }
        CString localeName = FromUtf8(name);
        CString displayName = GetLanguageDisplayName(localeName);
        if (displayName == defaultLanguage)
            selection = combo.GetCount();
        combo.AddString(displayName);
        m_resourceIds[displayName] = id;
        m_localeNames[displayName] = localeName;
    }
    combo.SetCurSel(selection);
    if (ConfigurationManager::GetInstance()->btClassicFlow)
        combo.ShowWindow(SW_HIDE);
}

bool LanguageManager::SelectLanguage(const CString& displayName)
{
    auto id = m_resourceIds.find(displayName);
    if (id == m_resourceIds.end())
        return false;
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    if (!LoadLocaleResource(id->second, document))
        return false;
    ParseLocale(document);
    // A page may go away while another refreshes; walk a copy.
    std::vector<IPage*> pages = m_observers;
    for (IPage* page : pages)
        if (std::find(m_observers.begin(), m_observers.end(), page) != m_observers.end())
            page->UpdateTexts();
    auto configuration = ConfigurationManager::GetInstance();
    configuration->languageName = displayName;
    auto localeName = m_localeNames.find(displayName);
    configuration->localeName = localeName != m_localeNames.end() ? localeName->second : CString();
    return true;
}

CString LanguageManager::GetText(const std::string& key) const
{
    auto entry = m_texts.find(key);
    if (entry == m_texts.end() || entry->second.empty())
        return CString();
    return FromUtf8(entry->second);
}

void LanguageManager::AddObserver(IPage* page)
{
    m_observers.push_back(page);
}

void LanguageManager::RemoveObserver(IPage* page)
{
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), page), m_observers.end());
}
