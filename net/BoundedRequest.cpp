#include "net/BoundedRequest.h"

#include "net/OrvaneException.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

bool SendRequestWithin(const std::wstring& url, const std::string& body, const HeaderList& headers,
                       std::string& response, DWORD& status, std::chrono::milliseconds limit)
{
    // The exchange runs on a thread of its own that owns copies of everything it uses, so
    // it may be left behind when the bound passes.
    struct Exchange {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        bool answered = false;
        std::string response;
        DWORD status = 0;
    };
    auto exchange = std::make_shared<Exchange>();
    try {
        std::thread([exchange, url, body, headers]() {
            std::string text;
            DWORD code = 0;
            bool answered = false;
            try {
                answered = SendRequest(url, body, headers, text, code);
            } catch (...) {
                // No answer: reported below as the client reports it.
            }
            std::lock_guard<std::mutex> guard(exchange->lock);
            exchange->answered = answered;
            exchange->response = std::move(text);
            exchange->status = code;
            exchange->finished = true;
            exchange->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return SendRequest(url, body, headers, response, status);
    }

    std::unique_lock<std::mutex> guard(exchange->lock);
    if (!exchange->done.wait_for(guard, limit, [&] { return exchange->finished; }))
        throw OrvaneException("No answer in time");
    if (!exchange->answered)
        throw OrvaneException("");
    response += exchange->response;
    status = exchange->status;
    return true;
}
