// Entry point of the wizard.
#include "shell/COrvaneApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    COrvaneApp application;
    return application.Run();
}
