#include "offers/Package.h"

#include "config/ConfigurationManager.h"
#include "config/FileHelpers.h"
#include "install/PayloadDigest.h"
#include "net/AnalyticsEvents.h"
#include "net/Encodings.h"

#include <gdiplus.h>

#include <algorithm>
#include <exception>

namespace {

constexpr size_t MaxPixelTextBytes = 1024;
// No text of an offer (a name, an address, arguments) comes near this once expanded.
constexpr size_t MaxExpandedTextBytes = 64 * 1024;

using nlohmann::json;

// Optional members are read only from an object that has them.
const json* Optional(const json& parent, const char* key)
{
    if (!parent.is_object())
        return nullptr;
    const auto found = parent.find(key);
    return found == parent.end() ? nullptr : &*found;
}

std::string Text(const json& value)
{
    return value.get<std::string>();
}

// Sizes take integers and floating-point numbers, never booleans.
uint64_t Size(const json& value)
{
    if (value.is_boolean())
        throw json::type_error::create(302, "type must be number, but is boolean", &value);
    return value.get<uint64_t>();
}

// Texts kept as CString come from the JSON bytes in the thread's ANSI code page.
CString AnsiText(const std::string& text)
{
    return CString(text.c_str());
}

std::wstring WideText(const json& value)
{
    return Utf8ToWide(Text(value));
}

void InsertIfMissing(std::unordered_map<std::string, std::string>& table, const char* name, const std::string& value)
{
    if (!value.empty())
        table.emplace(name, value);
}

UninstallRule ReadUninstallRule(const json& rule)
{
    UninstallRule result;
    result.root = WideText(rule.at("utr"));
    result.key = WideText(rule.at("utk"));
    result.valueName = WideText(rule.at("utvn"));
    result.valueType = WideText(rule.at("utvt"));
    result.minDays = rule.at("umd").get<int>();
    if (const json* value = Optional(rule, "utms"))
        result.inMilliseconds = value->get<bool>();
    return result;
}

} // namespace

Package::Package(const CommonEventData& commonEventData, const json& offer, bool isMain, std::string defaultTag,
                 int index)
    : m_commonEventData(commonEventData), m_isMain(isMain), m_tag(std::move(defaultTag)), m_index(index)
{
    auto configuration = ConfigurationManager::GetInstance();
    const std::string machineId = configuration->GetMachineId();
    const std::string runTimestamp = configuration->GetRunTimestamp();

    InsertIfMissing(m_placeholders, "userid", machineId);
    InsertIfMissing(m_placeholders, "sessionid", runTimestamp);
    InsertIfMissing(m_placeholders, "cc", configuration->countryCode);
    InsertIfMissing(m_placeholders, "pubid", configuration->publisherId);
    InsertIfMissing(m_placeholders, "ispb", configuration->bundleTag);
    m_placeholders.emplace("aflt", AffiliateForCountry(configuration->countryCode));

    const json& ad = offer.at("ad");
    m_offerFeed = Text(ad.at("f"));
    m_offerCode = Text(ad.at("o"));

    // The encoding's time grows with the square of the text's length: an offer code of
    // a few hundred kilobytes would hold the load for hours. No real code comes near
    // the bound; beyond it the pixel stays empty, as when the encoding fails.
    std::string pixel;
    const std::string pixelText = machineId + "|" + m_offerCode + "|" + runTimestamp;
    try {
        if (pixelText.size() <= MaxPixelTextBytes)
            pixel = Base62Encode(pixelText);
    } catch (const std::exception&) {
        pixel.clear();
    }
    m_placeholders.emplace("pxl", pixel);
    m_placeholders.emplace("of", m_offerFeed);

    ReadOffer(offer.at("ps"));
    BuildEventBody();
}

void Package::ReadOffer(const json& ps)
{
    auto expanded = [this](const json& value) { return ExpandPlaceholders(Text(value)); };

    m_imageUrl = expanded(ps.at("i"));
    m_name = expanded(ps.at("dn"));
    m_downloadUrl = expanded(ps.at("u"));
    if (const json* value = Optional(ps, "sha256")) {
        // A digest that cannot be checked makes the offer malformed, as a member of the
        // wrong type does: its file is never run unchecked.
        m_sha256 = Text(*value);
        if (!IsSha256Text(m_sha256))
            throw std::runtime_error("The offer's SHA-256 digest is not 64 hexadecimal digits");
    }
    if (const json* value = Optional(ps, "p"))
        m_installArguments = expanded(*value);
    if (const json* value = Optional(ps, "cp"))
        m_privacyUrl = expanded(*value);
    if (const json* value = Optional(ps, "ctu"))
        m_termsUrl = expanded(*value);
    if (const json* value = Optional(ps, "v"))
        m_vertical.store(value->get<int>());
    if (const json* value = Optional(ps, "exc"))
        m_exclusive = value->get<bool>();
    if (const json* value = Optional(ps, "c"))
        m_tag = expanded(*value);
    if (const json* value = Optional(ps, "disk"))
        m_minDiskMiB = Size(*value);
    if (const json* value = Optional(ps, "ram"))
        m_minRamMiB = Size(*value);
    if (const json* value = Optional(ps, "cpu"))
        m_minCpuMHz = Size(*value);
    if (const json* value = Optional(ps, "ov"))
        m_minOsVersion = value->get<int>();
    if (const json* value = Optional(ps, "pv"))
        m_minProgramVersion = Text(*value);
    if (const json* value = Optional(ps, "win64"))
        m_win64 = value->get<bool>();

    // The preset comes after the sizes, so it overrides them.
    if (const json* value = Optional(ps, "x")) {
        switch (value->get<int>()) {
        case 1:
            m_minDiskMiB = 2500;
            m_minRamMiB = 250;
            break;
        case 2:
            m_needsChrome = true;
            m_needsNewIe = true;
            break;
        case 3:
            m_minDiskMiB = 512;
            m_minRamMiB = 1536;
            m_minCpuMHz = 1500;
            break;
        case 10:
            m_win64 = true;
            break;
        case 12:
            m_needsChrome = true;
            break;
        case 13:
            m_rejectsChrome = true;
            break;
        default:
            break;
        }
    }

    const FolderPlaceholderTable folders = ConfigurationManager::GetInstance()->GetFolderPlaceholders();
    auto readFiles = [&](const char* key, std::vector<CString>& target) {
        if (const json* list = Optional(ps, key))
            for (const json& element : *list)
                target.push_back(ExpandFolderPlaceholders(AnsiText(Text(element)), folders));
    };
    auto readWide = [&](const char* key, std::vector<std::wstring>& target) {
        if (const json* list = Optional(ps, key))
            for (const json& element : *list)
                target.push_back(WideText(element));
    };
    readFiles("fe", m_blockingFiles);
    readFiles("ife", m_requiredFiles);
    if (const json* list = Optional(ps, "a"))
        for (const json& element : *list)
            m_blockingProcesses.push_back(Text(element));
    readWide("r", m_blockingKeys);
    readWide("ir", m_requiredKeys);
    readWide("rvn", m_blockingValues);
    readWide("rvd", m_blockingValueData);
    if (const json* list = Optional(ps, "cmdu"))
        for (const json& element : *list)
            m_uninstallRules.push_back(ReadUninstallRule(element));
    readWide("eapp", m_blockingApps);
    readWide("iapp", m_requiredApps);
}

Package::Package(const CommonEventData& commonEventData, bool isMain, const CString& offerCode,
                 const CString& offerFeed, const CString& name, const CString& tag, int index)
    : m_commonEventData(commonEventData),
      m_isMain(isMain),
      m_name(ToAnsi(name)),
      m_offerCode(ToAnsi(offerCode)),
      m_offerFeed(ToAnsi(offerFeed)),
      m_tag(ToAnsi(tag)),
      m_index(index)
{
    BuildEventBody();
}

Package::~Package() = default;

void Package::Refresh(const CommonEventData& commonEventData, const CString& offerCode, const CString& offerFeed,
                      const CString& name, const CString& tag)
{
    std::lock_guard<std::mutex> guard(m_bodyLock);
    m_commonEventData = commonEventData;
    m_isMain = true;
    m_offerCode = ToAnsi(offerCode);
    m_offerFeed = ToAnsi(offerFeed);
    m_name = ToAnsi(name);
    m_tag = ToAnsi(tag);
    m_index = 0;
    m_eventBody = BodyFor();
}

std::string Package::ExpandPlaceholders(const std::string& text) const
{
    // The text and the values come from the server: the result is built piece by piece
    // (replacing in place moves the rest of the text for every placeholder, hours for a
    // text of a million), and it grows no further than the bound or the text's own
    // length; the placeholders beyond stay as written.
    const size_t limit = std::max(text.size(), MaxExpandedTextBytes);
    std::string result = text;
    for (const auto& entry : m_placeholders) {
        const std::string token = "{" + entry.first + "}";
        size_t at = result.find(token);
        if (at == std::string::npos)
            continue;
        // The search goes on after the placeholder in the text, so a value holding its
        // own placeholder is inserted once and never expanded again.
        std::string expanded;
        size_t from = 0;
        for (; at != std::string::npos; at = result.find(token, from)) {
            const size_t rest = result.size() - at - token.size();
            if (expanded.size() + (at - from) + entry.second.size() + rest > limit)
                break;
            expanded.append(result, from, at - from);
            expanded += entry.second;
            from = at + token.size();
        }
        expanded.append(result, from, std::string::npos);
        result.swap(expanded);
    }
    return result;
}

void Package::BuildEventBody()
{
    std::lock_guard<std::mutex> guard(m_bodyLock);
    m_eventBody = BodyFor();
}

nlohmann::json Package::BodyFor() const
{
    json body = m_commonEventData.baseRecord;
    if (m_isMain) {
        body["5"] = body.is_object() && body.contains("22") ? body["22"] : json("");
        body["10"] = 1;
        body["18"] = "";
    } else {
        body["5"] = m_offerCode;
        body["10"] = 2;
        body["16"] = m_tag;
        body["17"] = std::to_string(m_index + 1);
        body["18"] = m_offerFeed;
    }
    return body;
}

nlohmann::json Package::EventBody() const
{
    std::lock_guard<std::mutex> guard(m_bodyLock);
    return m_eventBody;
}
