// A button that looks and acts like a hyperlink: it draws its text underlined in link
// colour, shows the hand cursor and opens its URL when clicked.
#pragma once

#include "framework/CButton.h"

class CMFCLinkCtrl : public CButton {
public:
    void SetURL(LPCWSTR url) { m_url = url ? url : L""; }
    const CString& GetURL() const noexcept { return m_url; }
    // Resizes the control to fit its text in its font (the position stays).
    void SizeToContent();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();
    void Open();

    CString m_url;
    bool m_pressed = false;
};
