// A package's analytics events: each post runs on a detached thread of its own that
// holds the package until it has ended; the frame waits for them when the wizard closes.
#include "offers/Package.h"

#include "config/ConfigurationManager.h"
#include "net/AnalyticsEvents.h"

#include <exception>
#include <system_error>

namespace {

struct PostRecord {
    std::shared_ptr<Package> package;
    int kind = 0;
    nlohmann::json data;
    std::wstring url;
};

// Ends one post: the last one to end wakes the waiters.
void EndPost(Package& package)
{
    std::lock_guard<std::mutex> guard(package.m_mutex);
    if (--package.m_pendingEvents == 0)
        package.m_eventsIdle.notify_all();
}

void PostEventTo(Package& package, int kind, const nlohmann::json& data, const std::wstring& url)
{
    nlohmann::json record = package.EventBody();
    record["6"] = std::to_string(kind);
    if (data.is_object())
        for (const auto& member : data.items())
            record[member.key()] = member.value();

    nlohmann::json document = nlohmann::json::object();
    document["data"] = record.dump();
    document["table"] = "zb_analytics";
    const std::string body = document.dump();

    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string response;
        DWORD status = 0;
        if (SendEventRequest(url, body, package.m_commonEventData.headers, response, status) && status >= 200 &&
            status <= 399) {
            package.m_eventsClosed = IsFinalEventKind(kind);
            return;
        }
        ::Sleep(EventRetryPause());
    }
}

} // namespace

void PostEvent(std::shared_ptr<Package> package, int kind, nlohmann::json data)
{
    PostEvent(std::move(package), kind, std::move(data), ConfigurationManager::GetInstance()->analyticsUrl.str());
}

void PostEvent(std::shared_ptr<Package> package, int kind, nlohmann::json data, const std::wstring& url)
{
    try {
        PostEventTo(*package, kind, data, url);
    } catch (...) {
        // No answer at all, or a record that cannot be written: the event is lost.
    }
    EndPost(*package);
}

void Package::SendEvent(int kind, const nlohmann::json& data)
{
    if (m_eventsClosed)
        return;
    EventState state;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        ++m_pendingEvents;
    }
    auto record = std::make_shared<PostRecord>();
    record->package = shared_from_this();
    record->kind = kind;
    record->data = data;
    // Read here, on the reporting thread: the post may still run while the process ends.
    record->url = ConfigurationManager::GetInstance()->analyticsUrl.str();
    try {
        state.thread = std::make_shared<std::thread>([record]() mutable {
            PostEvent(std::move(record->package), record->kind, std::move(record->data), record->url);
        });
    } catch (const std::system_error&) {
        EndPost(*this);
        throw;
    }
    state.thread->detach();
}

void Package::WaitForEvents()
{
    std::unique_lock<std::mutex> guard(m_mutex);
    m_eventsIdle.wait(guard, [this] { return m_pendingEvents == 0; });
}

bool Package::WaitForEventsUntil(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock<std::mutex> guard(m_mutex);
    return m_eventsIdle.wait_until(guard, deadline, [this] { return m_pendingEvents == 0; });
}
