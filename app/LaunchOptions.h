#pragma once
// What the command line and the first-run test ask of the main window, and
// the start-up timers that carry the requests out once the window exists.
#include <string_view>
#include <vector>

#include "removal/Prompts.h"
#include "settings/Messages.h"

namespace app {

struct LaunchOptions {
    // ":Scan:" on the command line: scan after start (timer 2002). Also
    // skips the full-scan notice from then on.
    bool scanAtStart = false;
    // ":Min" on the command line: go to the tray after start (timer 2000).
    bool startInTray = false;
    // The first run after installation: offer the update (timer 2001).
    bool firstRun = false;
};

// Searches the whole process command line, executable path included,
// case-sensitively: ":Min" also matches the ":Min:" the Run entry writes.
LaunchOptions ParseCommandLine(std::string_view commandLine, bool firstRun);

inline constexpr unsigned kGoToTrayDelayMs = 1000;
inline constexpr unsigned kFirstRunUpdateDelayMs = 2000;
inline constexpr unsigned kScanAtStartDelayMs = 1000;

// The timers to arm at the end of the main window's initialisation, in
// arming order (2000, 2001, 2002, each only when its option is set).
std::vector<TimerRequest> StartupTimers(const LaunchOptions& options);

enum class StartupTimerAction {
    kNone,
    kGoToTray,         // hide the main window in the tray and show the icon
    kOfferUpdate,      // AskFirstRunUpdate, then the "UPDATE PROTECTION" command on Yes
    kStartSystemScan,  // the "SCAN MY PC" command
};

// What a start-up timer does when it fires. The window kills the timer
// first in every case, so each fires once.
StartupTimerAction OnStartupTimer(unsigned timerId, const LaunchOptions& options);

inline constexpr const char* kFirstRunUpdateQuestion =
    "It is strongly recommended to update your protection to protect yourself again the latest "
    "items we detect\n Proceed with the upgrade?";

// The first-run update question (Yes/No, question icon, foreground and
// topmost); true on Yes.
bool AskFirstRunUpdate(removal::Prompts& prompts);

}  // namespace app
