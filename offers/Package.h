// One downloadable product: the main product or an offer. It holds the texts and
// addresses from the configuration response, the machine requirements the offer
// checks read, its picture, and the bookkeeping of the analytics events it sends.
// Always held by std::shared_ptr (the event posts keep it alive while they run).
#pragma once

#include "framework/CString.h"
#include "net/CommonEventData.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace Gdiplus {
class Bitmap;
}

// Days that must have passed since an earlier uninstall, read from a registry value.
struct UninstallRule {
    std::wstring root;
    std::wstring key;
    std::wstring valueName;
    std::wstring valueType;
    int minDays = 0;
    bool inMilliseconds = false;
};

class Package : public std::enable_shared_from_this<Package> {
public:
    // The record of one event post while SendEvent starts it.
    struct EventState {
        std::shared_ptr<std::thread> thread;
        bool finished = false;
    };

    // An offer, from one element of the response's "o" list. Throws the JSON library's
    // errors on a malformed offer and std::runtime_error on text that is not UTF-8.
    Package(const CommonEventData& commonEventData, const nlohmann::json& offer, bool isMain,
            std::string defaultTag, int index);
    // The main product, from four configuration texts: offer code, offer feed, name, tag.
    Package(const CommonEventData& commonEventData, bool isMain, const CString& offerCode,
            const CString& offerFeed, const CString& name, const CString& tag, int index);
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // Takes fresh event data and the loaded configuration's texts (main product only).
    void Refresh(const CommonEventData& commonEventData, const CString& offerCode, const CString& offerFeed,
                 const CString& name, const CString& tag);

    // Replaces every "{name}" of the placeholder table in text.
    std::string ExpandPlaceholders(const std::string& text) const;
    void BuildEventBody();
    // A copy of the event body as it is now (posts read it while the frame may refresh it).
    nlohmann::json EventBody() const;

    // Starts one analytics post of the given kind and extra data (null or an object) and
    // returns at once; does nothing once a final event has been posted.
    void SendEvent(int kind, const nlohmann::json& data);
    // Blocks until every post started by SendEvent has ended.
    void WaitForEvents();
    // Like WaitForEvents, but gives up at the deadline; true when every post had ended.
    bool WaitForEventsUntil(std::chrono::steady_clock::time_point deadline);

    // Fetches the offer picture in the background; done is called exactly once.
    void DownloadImage(const std::function<void()>& done);

    std::mutex m_mutex;
    std::condition_variable m_eventsIdle;
    int m_pendingEvents = 0;
    CommonEventData m_commonEventData;
    bool m_isMain = false;
    std::string m_name;
    std::string m_offerCode;
    std::string m_offerFeed;
    std::string m_tag;
    std::string m_imageUrl;
    std::string m_downloadUrl;
    // The downloaded file's SHA-256 digest when the offer gives one ("sha256"); empty
    // when it gives none.
    std::string m_sha256;
    std::string m_installArguments;
    std::string m_privacyUrl;
    std::string m_termsUrl;
    std::atomic<int> m_vertical{0};
    uint64_t m_minDiskMiB = 0;
    uint64_t m_minRamMiB = 0;
    uint64_t m_minCpuMHz = 0;
    int m_minOsVersion = 0;
    std::string m_minProgramVersion;
    bool m_win64 = false;
    int m_index = 0;
    std::atomic<bool> m_eventsClosed{false};
    nlohmann::json m_eventBody;
    std::shared_ptr<Gdiplus::Bitmap> m_image;
    std::unordered_map<std::string, std::string> m_placeholders;
    std::vector<CString> m_blockingFiles;
    std::vector<CString> m_requiredFiles;
    std::vector<std::string> m_blockingProcesses;
    std::vector<std::wstring> m_blockingKeys;
    std::vector<std::wstring> m_requiredKeys;
    std::vector<std::wstring> m_blockingValues;
    std::vector<std::wstring> m_blockingValueData;
    std::vector<std::wstring> m_blockingApps;
    std::vector<std::wstring> m_requiredApps;
    bool m_exclusive = false;
    bool m_needsChrome = false;
    bool m_rejectsChrome = false;
    bool m_needsNewIe = false;
    std::vector<UninstallRule> m_uninstallRules;

private:
    void ReadOffer(const nlohmann::json& ps);
    nlohmann::json BodyFor() const;
    void StoreImage(std::unique_ptr<std::vector<char>> bytes);
    // The event body is read by post threads while the interface thread may rebuild it.
    mutable std::mutex m_bodyLock;
};

// The body of one event post's thread (see Package::SendEvent): posts the package's
// event body with the kind and data written in to the analytics address (the
// configuration's, or url), two attempts at most, then ends the post.
void PostEvent(std::shared_ptr<Package> package, int kind, nlohmann::json data);
void PostEvent(std::shared_ptr<Package> package, int kind, nlohmann::json data, const std::wstring& url);
