#pragma once
// `CScannerApp`: the program from process start to the end of the main
// window. It refuses a second instance, handles the first run and the
// command line, and runs `CMainDialog` modally; when that ends, the
// program ends.
#include "app/win32/SystemInfo.h"

namespace app {

class CScannerApp {
  public:
    // The instance-initialisation hook: runs everything; the process exit
    // code (0).
    int InitInstance();

    CSystemInfo systemInfo;
    bool isXP = false;
};

}  // namespace app
