#pragma once
// The one question every shield asks, `AuthorizeChange`, and the record of
// the last one, "Repeat previous notification". The popup is reached through
// AlertPopup, so tests answer it from a script.
#include <string>
#include <string_view>

#include "shields/Switches.h"

namespace shields {

enum class AlertKind : int {
    FavoriteAdded = 0,
    HomePageChanged = 1,
    SearchPageChanged = 2,
    LocalPageChanged = 3,
    SearchBarChanged = 4,
    HostsEntryAdded = 5,
    ExecutableLaunch = 6,
    CookieAdded = 7,
    StartupProgramAdded = 8,
};

struct AlertTexts {
    const char* title;
    // printf-like: each "%s" is filled in order (for the four page kinds the
    // baseline, then the new value; otherwise the subject).
    const char* question;
    const char* record;
    bool checkBox;
};

const AlertTexts& TextsOf(AlertKind kind);
// `format` with each "%s" replaced, in order, by the next of `values`
// (missing values read as empty). Replaced as text, so a "%" in a value is
// kept as it is.
std::string FillIn(std::string_view format, std::string_view first, std::string_view second = {});

inline constexpr const char* kAuthorized = "You authorized the change.";
inline constexpr const char* kNotAuthorized = "You did not authorize the change.";

// What the popup shows.
struct PopupRequest {
    std::string title;
    std::string message;
    bool notifyOnly = false;  // no buttons; closes by itself
    bool showCheckBox = false;
};

struct PopupAnswer {
    bool yes = false;
    bool checked = false;
};

class AlertPopup {
  public:
    virtual ~AlertPopup() = default;
    // Shows an asking popup and returns once it has closed.
    virtual PopupAnswer Ask(const PopupRequest& request) = 0;
    // Shows a popup that closes by itself.
    virtual void Notify(const PopupRequest& request) = 0;
};

struct LastNotification {
    std::string text;
    std::string title;
};

class ShieldAlerts {
  public:
    ShieldAlerts(AlertPopup& popup, const ShieldSwitches& switches)
        : popup_(popup), switches_(switches) {}

    // True when the change is to be undone. With notifications hidden every
    // change is refused without a popup; an empty subject is accepted without
    // one. `baseline` fills the first "%s" of the page kinds. `dontAskAgain`
    // is set to 1 when the check box was shown and ticked.
    bool AuthorizeChange(std::string subject, AlertKind kind, int* dontAskAgain = nullptr,
                         std::string_view baseline = {});
    // Shows `LastNotification` again without buttons; nothing before the
    // first alert.
    void RepeatLastNotification();

    const LastNotification& last() const { return last_; }
    // Alerts shown since start.
    int shownCount() const { return shown_; }

  private:
    AlertPopup& popup_;
    const ShieldSwitches& switches_;
    LastNotification last_;
    int shown_ = 0;
};

}  // namespace shields
