// Entry point of the wizard.
#include "config/ConfigurationManager.h"
#include "framework/Afx.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    auto configuration = ConfigurationManager::GetInstance();
    CString text;
    text.Format(L"Orvane Setup %s\nWizard type %d\nDownloads: %s\nWorking folder: %s",
                configuration->programVersion.GetString(), configuration->wizardType,
                configuration->downloadFolder.GetString(), configuration->workingFolder.GetString());
    AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
    if (!configuration->workingFolder.IsEmpty())
        RemoveDirectoryW(configuration->workingFolder);
    return 0;
}
