// The configuration request: tells the server which build, language, download and system
// ask, retries a failed answer, and hands back the parsed configuration document.
#pragma once

#include <windows.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <string>

class ApiManager {
public:
    // The process-wide object, built at the first call.
    static std::shared_ptr<ApiManager> GetInstance();

    // Posts the request to the configured address, up to three attempts five seconds
    // apart, and parses the last answer. Throws OrvaneException when there is no address,
    // no answer, or an empty or blank body; the JSON library's error for any other text
    // that is not JSON.
    std::unique_ptr<nlohmann::json> RequestConfiguration();
    // The answer's text as a document: OrvaneException for a blank, oversized or too
    // deeply nested text, the JSON library's error for text that is not JSON.
    static std::unique_ptr<nlohmann::json> ParseConfigurationResponse(const std::string& response);
};

// The download token in an executable's path: the text after the path's last "_" without
// its extension, when that has exactly seven characters including a "-"; otherwise empty.
std::wstring DownloadTokenFromPath(const std::wstring& path);

// The pause between attempts is a real Sleep; tests put a shorter one in its place
// (nullptr restores Sleep).
using RetryPause = void (*)(DWORD milliseconds);
void SetRetryPauseForTesting(RetryPause pause);
