// Test-side client of the local content host's control listener (plain HTTP on
// loopback, address in ORVANE_CONTENT_CONTROL): scripts answers per path and reads
// back the requests the host received and the analytics events it stored.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

class ContentHostControl {
public:
    // Reads ORVANE_CONTENT_CONTROL ("host:port"); 127.0.0.1:8480 when it is not set.
    ContentHostControl();

    // True when the control answers; tests that need the host skip without it.
    bool Available() const;

    // Back to the starting state: no scripted answers, the sample configuration,
    // an empty request log and no stored events.
    void Reset() const;

    // Replaces the scenario: {"config": {...}, "answers": {"/o": [{...}, ...]}}.
    void SetScenario(const nlohmann::json& scenario) const;
    // A scenario that only scripts the answers of one path.
    void SetAnswers(const std::string& path, const nlohmann::json& answers) const;

    // The logged requests, oldest first, all of them or those of one path (no query).
    // Each is {"method", "target", "path", "query", "headers": [[name, value], ...],
    // "body", "body_base64", "tls", "seq"}.
    nlohmann::json Requests(const std::string& path = std::string()) const;
    // The stored analytics events: {"id", "time", "kind", "record", "signature_ok", "authorization"}.
    nlohmann::json Events() const;

    // Standard base64 of bytes, as an answer's "body_base64" takes them.
    static std::string Base64(const std::string& bytes);
    // The header pairs of one logged request, in the order they arrived.
    static std::vector<std::pair<std::string, std::string>> Headers(const nlohmann::json& request);

private:
    // Throws std::runtime_error when the control cannot be reached or answers other than 200.
    std::string Call(const wchar_t* verb, const std::wstring& path, const std::string& body) const;

    std::wstring m_host;
    unsigned short m_port = 8480;
};

} // namespace testing_support
