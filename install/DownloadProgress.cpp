#include "install/DownloadProgress.h"

#include "shell/WindowMessages.h"

void DownloadProgress::SetMarquee(bool on)
{
    if (on) {
        m_bar.ModifyStyle(0, PBS_MARQUEE);
        m_bar.SetMarquee(TRUE, 30);
    } else {
        m_bar.SetMarquee(FALSE, 0);
        m_bar.ModifyStyle(PBS_MARQUEE, 0);
    }
    m_marquee = on;
}

void DownloadProgress::OnProgress(WPARAM percent)
{
    if (percent > 100) {
        SetMarquee(true);
        return;
    }
    if (m_marquee)
        SetMarquee(false);
    m_bar.SetPos(static_cast<int>(percent));
}

void DownloadProgress::OnLengthUnavailable()
{
    m_bar.SetRange(0, 100);
    m_bar.SetPos(0);
    SetMarquee(true);
}

bool DownloadProgress::HandleMessage(UINT message, WPARAM wParam, LRESULT* result)
{
    if (message == WM_DOWNLOAD_PROGRESS)
        OnProgress(wParam);
    else if (message == WM_DOWNLOAD_LENGTH_UNAVAILABLE)
        OnLengthUnavailable();
    else
        return false;
    *result = 0;
    return true;
}
