#include "app/LaunchOptions.h"

namespace app {

LaunchOptions ParseCommandLine(std::string_view commandLine, bool firstRun) {
    LaunchOptions options;
    options.scanAtStart = commandLine.find(":Scan:") != std::string_view::npos;
    options.startInTray = commandLine.find(":Min") != std::string_view::npos;
    options.firstRun = firstRun;
    return options;
}

std::vector<TimerRequest> StartupTimers(const LaunchOptions& options) {
    std::vector<TimerRequest> requests;
    if (options.startInTray)
        requests.push_back({timers::kGoToTray, kGoToTrayDelayMs});
    if (options.firstRun)
        requests.push_back({timers::kFirstRunUpdate, kFirstRunUpdateDelayMs});
    if (options.scanAtStart)
        requests.push_back({timers::kScanAtStart, kScanAtStartDelayMs});
    return requests;
}

StartupTimerAction OnStartupTimer(unsigned timerId, const LaunchOptions& options) {
    switch (timerId) {
        case timers::kGoToTray:
            return StartupTimerAction::kGoToTray;
        case timers::kFirstRunUpdate:
            return options.firstRun ? StartupTimerAction::kOfferUpdate : StartupTimerAction::kNone;
        case timers::kScanAtStart:
            return options.scanAtStart ? StartupTimerAction::kStartSystemScan
                                       : StartupTimerAction::kNone;
        default:
            return StartupTimerAction::kNone;
    }
}

bool AskFirstRunUpdate(removal::Prompts& prompts) {
    return prompts.Ask(kFirstRunUpdateQuestion, kMessageCaption, removal::Buttons::kYesNo) ==
           removal::Answer::kYes;
}

}  // namespace app
