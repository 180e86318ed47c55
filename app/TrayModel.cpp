#include "app/TrayModel.h"

#include "settings/Strings.h"

namespace app {

std::string CutTooltip(std::string_view tip) {
    std::size_t units = 0;
    std::size_t pos = 0;
    while (pos < tip.size()) {
        auto lead = static_cast<unsigned char>(tip[pos]);
        std::size_t length = 1;
        std::size_t width = 1;
        if (lead >= 0xF0 && lead <= 0xF7) {
            length = 4;
            width = 2;  // a surrogate pair
        } else if (lead >= 0xE0) {
            length = lead <= 0xEF ? 3 : 1;
        } else if (lead >= 0xC0) {
            length = 2;
        }
        // A malformed byte becomes one replacement character on the way to
        // UTF-16.
        if (length > tip.size() - pos)
            length = tip.size() - pos;
        if (units + width > kMaxTooltipUnits)
            break;
        units += width;
        pos += length;
    }
    return std::string(tip.substr(0, pos));
}

bool TrayModel::CreateTray(std::uint32_t windowsMajor, std::string_view tooltip, bool startHidden) {
    enabled_ = windowsMajor >= 4;
    if (!enabled_)
        return false;
    tooltip_ = CutTooltip(tooltip);
    hidden_ = removed_ = true;
    showPending_ = false;
    if (startHidden)
        return true;
    hidden_ = false;
    if (shell_.AddIcon(tooltip_))
        removed_ = false;
    else
        showPending_ = true;
    return true;
}

bool TrayModel::AddTrayIcon() {
    if (!removed_)
        RemoveTrayIcon();
    if (!enabled_)
        return false;
    hidden_ = false;
    if (shell_.AddIcon(tooltip_)) {
        removed_ = false;
        showPending_ = false;
        return true;
    }
    showPending_ = true;
    return false;
}

bool TrayModel::RemoveTrayIcon() {
    showPending_ = false;
    if (!enabled_)
        return false;
    // Whatever the shell answers, the icon is no longer wanted: a window
    // restored from the tray must not count as still being there.
    hidden_ = true;
    if (removed_)
        return true;
    if (!shell_.DeleteIcon())
        return false;
    removed_ = true;
    return true;
}

bool TrayModel::HideTrayIcon() {
    if (!enabled_ || hidden_)
        return true;
    return RemoveTrayIcon();
}

bool TrayModel::ShowTrayIcon() {
    if (!enabled_)
        return false;
    if (removed_ || hidden_)
        return AddTrayIcon();
    return true;
}

bool TrayModel::SetTrayIcon() {
    if (!enabled_)
        return false;
    if (hidden_ || removed_)
        return true;
    return shell_.ModifyIcon(kTrayFieldIcon, tooltip_);
}

bool TrayModel::SetTrayTooltip(std::string_view tooltip) {
    tooltip_ = CutTooltip(tooltip);
    if (!enabled_)
        return false;
    if (hidden_ || removed_)
        return true;
    return shell_.ModifyIcon(kTrayFieldTip, tooltip_);
}

void TrayModel::OnTaskbarCreated() {
    if (!enabled_)
        return;
    // The new taskbar starts empty: whatever we had registered is gone.
    removed_ = true;
    showPending_ = !hidden_;
    InstallPendingIcon();
}

void TrayModel::OnWorkAreaChanged() {
    if (!enabled_)
        return;
    showPending_ = !hidden_;
    InstallPendingIcon();
}

void TrayModel::InstallPendingIcon() {
    if (hidden_ || !showPending_)
        return;
    // A work-area change does not always mean a new shell: an icon the shell
    // still holds answers a modify and needs nothing more.
    if (!removed_ && shell_.ModifyIcon(kTrayFieldIcon | kTrayFieldTip, tooltip_)) {
        showPending_ = false;
        return;
    }
    removed_ = true;
    if (shell_.AddIcon(tooltip_)) {
        removed_ = false;
        showPending_ = false;
    }
}

TrayMouseAction OnTrayMouse(unsigned iconId, unsigned mouseMessage) {
    if (iconId != kTrayIconId)
        return TrayMouseAction::kNone;
    if (mouseMessage == kMouseRightButtonUp)
        return TrayMouseAction::kShowMenu;
    if (mouseMessage == kMouseLeftDoubleClick)
        return TrayMouseAction::kDefaultCommand;
    return TrayMouseAction::kNone;
}

std::vector<TrayMenuItem> TrayMenu(const ShieldSwitches& s) {
    auto shield = [](bool on, const char* name) {
        std::string text = on ? "Disable " : "Enable ";
        text.append(name);
        return TrayMenuItem{std::move(text), 0, true};
    };
    std::vector<TrayMenuItem> menu;
    auto add = [&menu](TrayMenuItem item, int command) {
        item.command = command;
        menu.push_back(std::move(item));
    };
    auto separator = [&menu] { menu.push_back(TrayMenuItem{}); };

    add({"Open Brindlex"}, commands::kTrayOpen);
    separator();
    add({"&About Brindlex"}, commands::kTrayAbout);
    separator();
    add(shield(s.shieldsActive, "Shields"), commands::kTrayAllShields);
    separator();
    add(shield(s.homePage, "IE Home Page Shield"), commands::kTrayHomePageShield);
    add(shield(s.hijack, "IE Hijack Shield"), commands::kTrayHijackShield);
    add(shield(s.favorites, "IE Favorites Shield"), commands::kTrayFavoritesShield);
    add(shield(s.hosts, "Hosts File Shield"), commands::kTrayHostsShield);
    add(shield(s.realTime, "Real-Time Protection"), commands::kTrayRealTime);
    add(shield(s.cookie, "Cookie Shield"), commands::kTrayCookieShield);
    add(shield(s.startup, "Startup Shield"), commands::kTrayStartupShield);
    separator();
    add({s.hideNotifications ? "Show Notifications" : "Hide Notifications", 0, true},
        commands::kTrayHideNotifications);
    add({"Repeat previous notification"}, commands::kTrayRepeatNotification);
    separator();
    add({"E&xit"}, commands::kTrayExit);
    return menu;
}

std::string ScheduledExitQuestion(std::string_view nextScan) {
    // Replaced as text, not formatted: the setting may hold a "%".
    std::string_view format = settings::strings::kScheduledExitQuestion;
    std::size_t at = format.find("%s");
    if (at == std::string_view::npos)
        return std::string(format);
    std::string question(format.substr(0, at));
    question.append(nextScan);
    question.append(format.substr(at + 2));
    return question;
}

bool ConfirmTrayExit(const settings::SettingsStore& settings, bool anyShieldOn,
                     removal::Prompts& prompts) {
    using removal::Answer;
    using removal::Buttons;
    std::string schedule;
    // An absent value means no schedule was ever set.
    if (settings.GetSetting("Schedule Scan", &schedule) && schedule != "0") {
        std::string nextScan;
        settings.GetSetting("NextScan", &nextScan);
        return prompts.Ask(ScheduledExitQuestion(nextScan), kScheduledExitCaption,
                           Buttons::kOkCancel) == Answer::kOk;
    }
    if (!anyShieldOn)
        return true;
    return prompts.Ask(settings::strings::kShieldsExitQuestion, kMessageCaption, Buttons::kYesNo) ==
           Answer::kYes;
}

Rect ComputeTrayArea(const TrayAreaSources& sources) {
    if (sources.notifyArea) {
        Rect area = *sources.notifyArea;
        if (sources.clock) {
            // A clock level with the area's bottom sits to the right of the
            // icons; otherwise (a tall vertical taskbar) above them.
            if (sources.clock->bottom >= area.bottom - 5)
                area.right = sources.clock->left;
            else
                area.top = sources.clock->bottom;
        }
        return area;
    }
    if (sources.taskbar) {
        Rect bar = *sources.taskbar;
        if (sources.taskbarEdge == TaskbarEdge::kLeft ||
            sources.taskbarEdge == TaskbarEdge::kRight) {
            int end = bar.bottom;
            bar.top = end - 100;
            bar.bottom = end - 16;
        } else {
            int end = bar.right;
            bar.left = end - 100;
            bar.right = end - 16;
        }
        return bar;
    }
    const Rect& work = sources.workArea;
    return {work.right - 150, work.bottom - 30, work.right, work.bottom};
}

}  // namespace app
