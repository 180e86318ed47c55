#include "app/MainWindowModel.h"

#include "platform/Text.h"
#include "refdb/IgnoreList.h"
#include "registry/RegistryHelper.h"
#include "scan/ScanLog.h"
#include "settings/Messages.h"
#include "settings/Strings.h"

namespace app {

using refdb::ItemKind;
using removal::Answer;
using removal::Buttons;

std::array<ButtonEnable, 5> ButtonStates(ButtonState state) {
    bool idle = state == ButtonState::kIdle;
    return {{
        {main_dialog::kScanMyPcButton, idle},
        {main_dialog::kScanFilesButton, idle},
        {main_dialog::kUpdateButton, idle},
        {main_dialog::kRemoveButton, idle},
        {main_dialog::kStopScanButton, true},
    }};
}

ColumnWidths ComputeColumnWidths(int listWindowWidth) {
    int w = listWindowWidth - 2;
    ColumnWidths widths{};
    widths.item = 15 * w / 64;
    widths.location = 25 * w / 64;
    widths.type = 10 * w / 64;
    widths.danger = w - (widths.item + widths.location + widths.type) - 2;
    return widths;
}

CounterTexts CounterTextsOf(const scan::ResultRows& rows) {
    int registry = rows.count(ItemKind::kRegKey) + rows.count(ItemKind::kRegValue) +
                   rows.count(ItemKind::kRegValueData);
    int files = rows.count(ItemKind::kFile) + rows.count(ItemKind::kDirectory) +
                rows.count(ItemKind::kPrefsLine);
    return {std::to_string(registry), std::to_string(rows.count(ItemKind::kCookie)),
            std::to_string(files)};
}

std::vector<std::size_t> RelatedRows(const scan::ResultRows& rows, std::size_t row) {
    std::vector<std::size_t> related;
    if (row >= rows.size())
        return related;
    const std::string& name = rows.rows()[row].item;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (text::EqualsNoCase(rows.rows()[i].item, name))
            related.push_back(i);
    }
    return related;
}

std::vector<std::size_t> SetRelatedChecks(scan::ResultRows& rows, std::size_t row, bool checked) {
    std::vector<std::size_t> related = RelatedRows(rows, row);
    for (std::size_t index : related)
        rows.rows()[index].checked = checked;
    return related;
}

std::string RemovalQuestion(std::size_t rowCount) {
    return "Brindlex Detected " + std::to_string(rowCount) +
           " Threats, Do you want Brindlex to Delete all Detected Threats?";
}

bool RepaintThrottle::ShouldRepaint(std::uint64_t nowMs, bool finalState) {
    // A clock that went backwards counts as due rather than as a long wait.
    bool due = !painted_ || nowMs < lastMs_ || nowMs - lastMs_ >= kMinIntervalMs;
    if (!due && !finalState)
        return false;
    painted_ = true;
    lastMs_ = nowMs;
    return true;
}

MainWindowModel::MainWindowModel(platform::System& system, removal::Prompts& prompts,
                                 LaunchOptions options)
    : system_(system), settings_(system), prompts_(prompts), options_(options) {}

void MainWindowModel::ReadScanType() {
    CRegistryHelper helper(system_.registry);
    scanType_ = helper.QueryDword(platform::kHkeyCurrentUser, settings::strings::kSettingsKey,
                                  "scantype", 0);
}

bool MainWindowModel::ReportRefusal(bool started) {
    if (!started)
        prompts_.Ask(kAlreadyScanning, kMessageCaption, Buttons::kOk);
    return started;
}

bool MainWindowModel::StartSystemScan(ScanStarter& starter) {
    if (scanType_ != 0)
        return ReportRefusal(starter.StartSmart());
    if (!options_.scanAtStart)
        prompts_.Ask(kFullScanNotice, kMessageCaption, Buttons::kOk);
    return ReportRefusal(starter.StartFull());
}

bool MainWindowModel::StartFolderScan(ScanStarter& starter, std::string_view folder) {
    return ReportRefusal(starter.StartFolder(folder));
}

bool MainWindowModel::BeginScheduledScan(bool scanning) {
    options_.scanAtStart = true;
    return !scanning;
}

bool MainWindowModel::AskStopScan() {
    return prompts_.Ask(kStopScanQuestion, kStopScanCaption, Buttons::kYesNo) == Answer::kYes;
}

ScanFinishedPlan MainWindowModel::OnScanFinished(bool aborted, const scan::ResultRows& rows) {
    ScanFinishedPlan plan;
    std::string scanLog;
    std::string schedule;
    settings_.GetSetting("scnlg", &scanLog);
    // An absent value means no schedule was ever set.
    plan.recomputeSchedule = settings_.GetSetting("Schedule Scan", &schedule) && schedule != "0";
    if (scanLog == "1" && !rows.empty())
        plan.scanLogPath = scan::WriteScanLog(system_, rows);
    plan.status = aborted ? kScanAborted : kScanComplete;
    plan.resetProgress = !aborted;
    plan.offerRemoval = !rows.empty();
    return plan;
}

bool MainWindowModel::AskRemoveDetected(std::size_t rowCount) {
    return prompts_.Ask(RemovalQuestion(rowCount), kMessageCaption, Buttons::kYesNo) ==
           Answer::kYes;
}

bool MainWindowModel::AddToIgnoreList(scan::ResultRows& rows, std::size_t row) {
    if (row >= rows.size())
        return false;
    scan::ResultRow& chosen = rows.rows()[row];
    if (chosen.data.entry != nullptr)
        chosen.data.entry->ignored = true;
    if (!refdb::AppendToIgnoreList(system_, "," + chosen.item)) {
        prompts_.Ask(kIgnoreListNotWritten, kMessageCaption, Buttons::kOk);
        return false;
    }
    prompts_.Ask(kAddedToIgnoreList, kMessageCaption, Buttons::kOk);
    return true;
}

CloseAction MainWindowModel::OnCancel(bool trayIconShown, MinimizeNotice& notice) {
    if (trayIconShown)
        return CloseAction::kNothing;
    bool nowarn = settings_.IsOn("nowarn");
    if (!anyShieldOn_ && !settings_.IsOn("Schedule Scan"))
        return CloseAction::kEndProgram;
    if (nowarn)
        return CloseAction::kGoToTray;
    MinimizeNoticeAnswer answer = notice.Show();
    if (answer.dontShowAgain)
        settings_.SetSetting("nowarn", "1");
    return answer.ok ? CloseAction::kGoToTray : CloseAction::kNothing;
}

}  // namespace app
