// The page shown while the configuration is requested and the offers are checked;
// it hands the accepted offers to the frame when everything has arrived.
#pragma once

#include "framework/CProgressCtrl.h"
#include "shell/IPage.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

class Package;

class LoadingPage : public IPage {
public:
    LoadingPage(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);
    ~LoadingPage() override;

    void OnNavigateToPage() override;
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    CString GetName() override { return L"LoadingPage"; }

    // Called with the accepted offers once loading is complete (set by the frame).
    std::function<void(std::vector<std::shared_ptr<Package>>)> onPackagesReady;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT OnRequestComplete(WPARAM wParam, LPARAM lParam);
    void ShowConfigurationError();

    // What the loading task shares with the page. The task holds it, never the page,
    // so the page may go (the wizard closed) while a request still waits for its server.
    struct LoadState {
        HWND window = nullptr;
        std::atomic<bool> configError{false};
    };
    // The body of the loading task (a worker thread): the accepted offers.
    static std::vector<std::shared_ptr<Package>> LoadPackages(std::shared_ptr<LoadState> state);

public:
    // Reads the configuration document into the configuration and evaluates its offers
    // (the first 256): the accepted ones. configError is set (and nothing accepted) when
    // the download type's product description is unusable; a malformed document throws
    // the JSON library's errors (or std::runtime_error for text that is not UTF-8).
    static std::vector<std::shared_ptr<Package>> ReadConfiguration(const nlohmann::json& document, bool& configError);

protected:

    ButtonCallback m_onButton;
    ErrorCallback m_onError;
    int m_pendingPictures = 0;
    std::mutex m_mutex;
    std::future<std::vector<std::shared_ptr<Package>>> m_loadFuture;
    CProgressCtrl m_progress;
    std::shared_ptr<LoadState> m_state = std::make_shared<LoadState>();

private:
    // Counts one fetched picture; the last one hands the list to the frame.
    struct PictureCount;
    std::shared_ptr<PictureCount> m_pictures;
};
