// The run command's autopilot (scripts/run.sh without a display): walks one whole run of
// the wizard against the demo catalog as a user would, answering each offer page as the
// demo script says, and saves a screenshot of every page. It runs only when the run
// command names the script (ORVANE_AUTOPILOT_SCRIPT); the test runs leave it out.
#include "config/BuildSettings.h"
#include "res/resource.h"
#include "tests/e2e/WizardDriver.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <string>

using namespace e2e;

namespace {

const bool DownloadType = std::string(build::WizardTypeName) == "DLM";

std::string Narrow(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 1 ? static_cast<size_t>(size - 1) : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &narrow[0], size, nullptr, nullptr);
    return narrow;
}

// The offer's name stands in quotes after "installation of" in its disclaimer.
std::wstring OfferName(HWND page)
{
    const std::wstring text = ItemText(page, IDC_OFFER_DISCLAIMER);
    const size_t start = text.find(L"\"", text.find(L"installation of"));
    if (start == std::wstring::npos)
        return std::wstring();
    const size_t end = text.find(L"\"", start + 1);
    return text.substr(start + 1, end == std::wstring::npos ? std::wstring::npos : end - start - 1);
}

class Autopilot {
public:
    explicit Autopilot(const WizardProcess& wizard) : m_wizard(wizard) {}

    // Saves the screen under the next number and says where it went.
    void Shot(const std::wstring& name)
    {
        Sleep(400);
        wchar_t number[8];
        swprintf(number, 8, L"%02d-", ++m_shots);
        const std::wstring path = SaveScreenshot(number + name);
        printf("autopilot: %-28s %s\n", Narrow(name).c_str(), Narrow(path).c_str());
        fflush(stdout);
    }
    // Waits for a page of that name; a message box of the wizard ends the wait too.
    HWND Wait(HWND frame, const std::wstring& name, Milliseconds limit = Milliseconds(60000))
    {
        HWND page = nullptr;
        WaitUntil(
            [&] {
                page = WaitForPage(frame, name, Milliseconds(0));
                return page || FindMessageBox(m_wizard.Id()) || !m_wizard.IsRunning();
            },
            limit);
        return page;
    }

private:
    const WizardProcess& m_wizard;
    int m_shots = 0;
};

} // namespace

TEST(Autopilot, WalksTheDemoRun)
{
    wchar_t scriptPath[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"ORVANE_AUTOPILOT_SCRIPT", scriptPath, MAX_PATH) == 0)
        GTEST_SKIP() << "the run command's autopilot";
    nlohmann::json script;
    {
        std::ifstream in(Narrow(scriptPath));
        ASSERT_TRUE(in) << "cannot read the demo script";
        script = nlohmann::json::parse(in, nullptr, false);
        ASSERT_FALSE(script.is_discarded()) << "the demo script is not JSON";
    }
    const nlohmann::json answers = script.value("offers", nlohmann::json::object());

    WizardProcess wizard;
    ASSERT_TRUE(wizard.Start());
    Autopilot pilot(wizard);
    HWND frame = WaitForFrame(wizard);
    ASSERT_TRUE(frame);
    HWND page = pilot.Wait(frame, L"LanguagePage");
    ASSERT_TRUE(page);
    pilot.Shot(L"language");
    ASSERT_TRUE(Click(page, IDC_NEXT));
    if (WaitForPage(frame, L"LoadingPage", Milliseconds(3000)))
        pilot.Shot(L"loading");

    page = pilot.Wait(frame, L"WelcomePage");
    ASSERT_TRUE(page) << "no welcome page; " << Narrow(PageName(VisiblePage(frame))) << " shows";
    pilot.Shot(L"welcome");
    ASSERT_TRUE(Click(page, IDC_NEXT));

    for (;;) {
        HWND previous = page;
        WaitUntil([&] { return VisiblePage(frame) && VisiblePage(frame) != previous; });
        page = VisiblePage(frame);
        if (PageName(page) != L"ProductPage")
            break;
        const std::wstring name = OfferName(page);
        const bool accept = answers.value(Narrow(name), std::string()) == "accept";
        pilot.Shot(L"offer-" + name + (accept ? L"-accepted" : L"-declined"));
        ASSERT_TRUE(Click(page, accept ? IDC_ACCEPT : IDC_DECLINE));
    }

    ASSERT_EQ(PageName(page), L"DownloadPage");
    pilot.Shot(DownloadType ? L"download" : L"download-and-install");
    const std::wstring finishName = DownloadType ? L"FinishPageDLM" : L"FinishPageISV";
    HWND finish = pilot.Wait(frame, finishName, Milliseconds(120000));
    if (!finish) {
        pilot.Shot(L"stopped-" + PageName(VisiblePage(frame)));
        FAIL() << "the run did not reach the finish page; " << Narrow(PageName(VisiblePage(frame))) << " shows";
    }
    pilot.Shot(L"finish");
    // Launch (the download type's default choice) or the ticked launch box.
    ASSERT_TRUE(Click(finish, IDC_FINISH));
    EXPECT_TRUE(wizard.WaitForExit(DefaultWait));
    // What Finish started shows itself for a moment.
    Sleep(800);
    pilot.Shot(L"after-finish");
}
