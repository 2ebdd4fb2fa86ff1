// The download pages' progress bar, driven by the download worker's messages.
#pragma once

#include "framework/CProgressCtrl.h"

class DownloadProgress {
public:
    explicit DownloadProgress(CProgressCtrl& bar) : m_bar(bar) {}

    // Percent done; above 100 means the amount is unknown and the bar runs as a marquee.
    void OnProgress(WPARAM percent);
    // The total size is not announced: back to the start, running as a marquee.
    void OnLengthUnavailable();
    // Work of unknown length (installers running): the bar runs as a marquee.
    void ShowBusy() { OnLengthUnavailable(); }
    bool IsMarquee() const noexcept { return m_marquee; }

    // Handles the worker's two progress messages for a download page. They share their
    // numbers with the dialog manager's default-button messages, so they are always
    // reported handled and the dialog manager never acts on them.
    bool HandleMessage(UINT message, WPARAM wParam, LRESULT* result);

private:
    void SetMarquee(bool on);

    CProgressCtrl& m_bar;
    bool m_marquee = false;
};
