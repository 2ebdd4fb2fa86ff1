// The locale tables: which languages this wizard type carries, which one the user gets
// first, the texts of the chosen one with their {KEY} references expanded, and the
// refresh of every live page when the language changes.
#pragma once

#include "framework/CComboBox.h"
#include "framework/CString.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tinyxml2 {
class XMLDocument;
}
class IPage;

class LanguageManager {
public:
    explicit LanguageManager(CWnd* owner);

    // Lists one entry per locale table of this wizard type and selects the user's language.
    void FillLanguageCombo(CComboBox& combo);
    // Loads the table of that language and refreshes every live page.
    bool SelectLanguage(const CString& displayName);
    // The expanded text of a key, or empty when the table has no such text.
    CString GetText(const std::string& key) const;

    std::vector<int> GetLocaleResourceIds() const;
    bool LoadLocaleResource(int id, tinyxml2::XMLDocument& document) const;
    bool ParseLocale(tinyxml2::XMLDocument& document);
    void ExpandReferences();
    static CString GetLanguageDisplayName(const CString& localeName);

    // Pages register themselves for the lifetime of their object.
    void AddObserver(IPage* page);
    void RemoveObserver(IPage* page);

    // The user's locale name, empty when it cannot be read; tests put their own in.
    void SetUserLocaleQuery(std::function<CString()> query) { m_userLocaleQuery = std::move(query); }

    // A chain of references deeper than this (a cycle, in practice) stays as written.
    static constexpr int MaxReferenceDepth = 8;
    // References are expanded while the text and the count of references expanded in it
    // stay below this; the rest stay as written.
    static constexpr size_t MaxExpandedBytes = 64 * 1024;

private:
    // Appends text to result with its references expanded, counting them.
    void Expand(const std::string& text, int depth, std::string& result, size_t& references) const;

    CWnd* m_owner;
    std::map<CString, int> m_resourceIds;
    std::map<CString, CString> m_localeNames;
    std::vector<IPage*> m_observers;
    std::map<std::string, std::string> m_texts;
    std::function<CString()> m_userLocaleQuery;
};
