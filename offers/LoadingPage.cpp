#include "offers/LoadingPage.h"

#include "config/ConfigurationManager.h"
#include "install/DownloadManager.h"
#include "install/PayloadDigest.h"
#include "locale/LanguageManager.h"
#include "net/ApiManager.h"
#include "net/CommonEventData.h"
#include "net/OrvaneException.h"
#include "offers/OfferChecker.h"
#include "offers/Package.h"
#include "res/resource.h"
#include "shell/PictureDecoding.h"
#include "shell/WindowMessages.h"

#include <commctrl.h>
#include <gdiplus.h>

#include <thread>

using PackageList = std::vector<std::shared_ptr<Package>>;

// The pictures still being fetched, shared by their callbacks: the last one to end hands
// the list to the frame. Callbacks may end after the page has gone; they then do nothing.
struct LoadingPage::PictureCount {
    std::mutex mutex;
    int pendingPictures = 0;
    std::function<void(PackageList)> ready;
    PackageList packages;

    void OnePictureDone()
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (--pendingPictures == 0 && ready)
            ready(packages);
    }
};

namespace {

// A rejected offer costs milliseconds and an event post on a thread of its own: twenty
// thousand of them held the load for minutes and took gigabytes. No catalog comes near
// this many offers; the ones after it are left out unread.
constexpr size_t MaxOffersRead = 256;

CString Text(const nlohmann::json& value)
{
    return CString(value.get<std::string>().c_str());
}

// Copies the main product's description into the configuration; false when its title
// or its file address is empty.
bool ReadMainProduct(const nlohmann::json& product, ConfigurationManager& configuration)
{
    configuration.productTitle = Text(product.at("ct"));
    configuration.productUrl = Text(product.at("cu"));
    if (configuration.productTitle.IsEmpty() || configuration.productUrl.IsEmpty())
        return false;
    auto optional = [&product](const char* key) -> const nlohmann::json* {
        const auto found = product.find(key);
        return found == product.end() ? nullptr : &*found;
    };
    // A digest that cannot be checked makes the description unusable: the product is
    // never kept unchecked.
    if (const auto* value = optional("sha256")) {
        configuration.productSha256 = value->get<std::string>();
        if (!IsSha256Text(configuration.productSha256))
            return false;
    }
    if (const auto* value = optional("cl"))
        configuration.productImageUrl = Text(*value);
    if (const auto* value = optional("cf"))
        configuration.productFileName = Text(*value);
    else
        configuration.productFileName.Format(L"%s.exe", static_cast<LPCWSTR>(configuration.productTitle));
    if (const auto* value = optional("cp"))
        configuration.productPrivacyUrl = Text(*value);
    if (const auto* value = optional("ctu"))
        configuration.productTermsUrl = Text(*value);
    if (const auto* value = optional("ch"))
        configuration.productTagH = Text(*value);
    if (const auto* value = optional("cfl"))
        configuration.productTagFl = Text(*value);
    if (const auto* value = optional("cb"))
        configuration.bundleTag = value->get<std::string>();
    return true;
}

} // namespace

LoadingPage::LoadingPage(std::shared_ptr<LanguageManager> languageManager, CWnd* parent)
    : IPage(std::move(languageManager), IDD_LOADING_PAGE, parent)
{
}

LoadingPage::~LoadingPage()
{
    // Pictures that arrive from now on find nobody to tell.
    if (m_pictures) {
        std::lock_guard<std::mutex> guard(m_pictures->mutex);
        m_pictures->ready = nullptr;
    }
    // A task still waiting for its server is left to end by itself: closing the wizard
    // must not wait for a request that hangs. It holds only its own shared state.
    if (m_loadFuture.valid()) {
        try {
            std::thread([future = std::move(m_loadFuture)]() mutable { future.wait(); }).detach();
        } catch (const std::system_error&) {
            m_loadFuture.wait();
        }
    }
}

void LoadingPage::DoDataExchange(CDataExchange* pDX)
{
    IPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

BOOL LoadingPage::OnInitDialog()
{
    IPage::OnInitDialog();
    UpdateTexts();
    return TRUE;
}

void LoadingPage::OnNavigateToPage()
{
    m_progress.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    m_progress.SendMessage(PBM_SETPOS, 0, 0);
    m_progress.SendMessage(PBM_SETMARQUEE, TRUE, 30);
    const LONG_PTR style = ::GetWindowLongPtrW(m_progress.GetSafeHwnd(), GWL_STYLE);
    ::SetWindowLongPtrW(m_progress.GetSafeHwnd(), GWL_STYLE, style | PBS_MARQUEE);

    m_state->window = m_hWnd;
    m_loadFuture = std::future<PackageList>();
    m_loadFuture = std::async(std::launch::async, &LoadingPage::LoadPackages, m_state);
}

PackageList LoadingPage::LoadPackages(std::shared_ptr<LoadState> state)
{
    PackageList accepted;
    try {
        std::unique_ptr<nlohmann::json> response = ApiManager::GetInstance()->RequestConfiguration();
        bool configError = false;
        accepted = ReadConfiguration(*response, configError);
        state->configError = configError;
    } catch (const std::exception&) {
        ::PostMessageW(state->window, WM_REQUEST_COMPLETE, 0, 0);
        throw;
    }
    ::PostMessageW(state->window, WM_REQUEST_COMPLETE, 0, 0);
    return accepted;
}

PackageList LoadingPage::ReadConfiguration(const nlohmann::json& document, bool& configError)
{
    PackageList accepted;
    auto configuration = ConfigurationManager::GetInstance();
    if (document.is_object() && document.contains("l"))
        configuration->countryCode = document.at("l").get<std::string>();

    if (configuration->wizardType == 1 && !ReadMainProduct(document.at("i"), *configuration)) {
        configError = true;
        return accepted;
    }

    if (document.is_object() && document.contains("f")) {
        const nlohmann::json& publisher = document.at("f");
        if (publisher.is_object() && publisher.contains("a"))
            configuration->publisherId = publisher.at("a").get<std::string>();
    }

    if (document.is_object() && document.contains("o") && configuration->productTagH != L"00xA") {
        configuration->maxOffers = document.at("f").at("m").get<int>();
        OfferChecker checker(configuration->maxOffers);
        size_t read = 0;
        for (const nlohmann::json& offer : document.at("o")) {
            if (read++ == MaxOffersRead)
                break;
            const CommonEventData data = BuildCommonEventData();
            auto package = std::make_shared<Package>(data, offer, false, std::string(),
                                                     static_cast<int>(accepted.size()));
            bool stop = false;
            if (checker.Evaluate(package, stop)) {
                accepted.push_back(package);
                if (package->m_exclusive)
                    break;
            }
            if (stop)
                break;
        }
    }
    return accepted;
}

bool LoadingPage::OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message != WM_REQUEST_COMPLETE)
        return false;
    *result = OnRequestComplete(wParam, lParam);
    return true;
}

LRESULT LoadingPage::OnRequestComplete(WPARAM, LPARAM)
{
    if (m_state->configError) {
        ShowConfigurationError();
        return 0;
    }
    if (!m_loadFuture.valid())
        return 0;

    auto configuration = ConfigurationManager::GetInstance();
    PackageList packages;
    try {
        packages = m_loadFuture.get();
    } catch (const std::exception&) {
        if (configuration->wizardType == 1) {
            ShowConfigurationError();
            return 0;
        }
        packages.clear();
    }

    // Every fetch is counted before the first one starts, so the list goes to the frame
    // exactly once: at once when nothing is fetched, otherwise from the fetch that ends last.
    const CString headerUrl = configuration->productImageUrl;
    const bool fetchHeader = configuration->wizardType == 1 && !headerUrl.IsEmpty();
    auto pictures = std::make_shared<PictureCount>();
    pictures->ready = onPackagesReady;
    pictures->packages = packages;
    m_pictures = pictures;
    {
        std::lock_guard<std::mutex> guard(pictures->mutex);
        pictures->pendingPictures = static_cast<int>(packages.size()) + (fetchHeader ? 1 : 0);
        if (pictures->pendingPictures == 0) {
            if (pictures->ready)
                pictures->ready(packages);
            return 0;
        }
    }

    if (fetchHeader) {
        try {
            DownloadManager::GetInstance()->DownloadToMemoryAsync(
                headerUrl, [pictures](std::unique_ptr<std::vector<char>> bytes) {
                    if (bytes && !bytes->empty()) {
                        if (auto picture = DecodePicture(bytes->data(), bytes->size()))
                            ConfigurationManager::GetInstance()->productImage = picture;
                    }
                    pictures->OnePictureDone();
                });
        } catch (const std::system_error&) {
            // No thread for the header picture: the header goes without it.
            pictures->OnePictureDone();
        }
    }
    for (const auto& package : packages)
        package->DownloadImage([pictures] { pictures->OnePictureDone(); });
    return 0;
}

void LoadingPage::ShowConfigurationError()
{
    if (m_onError)
        m_onError(m_languageManager->GetText("PAGE_CONFIGURATION_ERROR_TITLE"),
                  m_languageManager->GetText("PAGE_CONFIGURATION_ERROR_DESC"));
}
