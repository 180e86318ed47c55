// brindlex.exe: the Windows program.
#include "platform/win32/Windows.h"

#include "app/win32/ScannerApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    app::CScannerApp application;
    return application.InitInstance();
}
