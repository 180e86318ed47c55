#pragma once
// A popup that answers from a script and remembers what it was shown.
#include <deque>
#include <functional>
#include <vector>

#include "shields/Alerts.h"

namespace shieldstest {

class ScriptedPopup : public shields::AlertPopup {
  public:
    // Answers in order; with the script empty every question gets No.
    void Answer(bool yes, bool checked = false) { script.push_back({yes, checked}); }

    shields::PopupAnswer Ask(const shields::PopupRequest& request) override {
        asked.push_back(request);
        // What other programs do while the popup is open.
        if (whileOpen)
            whileOpen(request);
        if (script.empty())
            return {};
        shields::PopupAnswer answer = script.front();
        script.pop_front();
        return answer;
    }
    void Notify(const shields::PopupRequest& request) override { notified.push_back(request); }

    std::function<void(const shields::PopupRequest&)> whileOpen;
    std::deque<shields::PopupAnswer> script;
    std::vector<shields::PopupRequest> asked;
    std::vector<shields::PopupRequest> notified;
};

}  // namespace shieldstest
