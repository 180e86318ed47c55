#pragma once
// The decisions of the main window (dialog 102): button states, column
// widths, counter texts, starting and finishing scans, the right-click menu
// of the results list and the closing rules. The Win32 dialog forwards its
// events here and renders the results; message boxes go through Prompts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/LaunchOptions.h"
#include "platform/System.h"
#include "removal/Prompts.h"
#include "scan/ResultRows.h"
#include "settings/SettingsStore.h"

namespace app {

// --- Buttons -------------------------------------------------------------

// `SetButtonState` takes these two values.
enum class ButtonState : int { kScanning = 0, kIdle = 2 };

struct ButtonEnable {
    int controlId;
    bool enabled;
};
// The five command buttons ("SCAN MY PC", "SCAN FILES/FOLDERS", "UPDATE
// PROTECTION", "REMOVE ITEMS", "STOP SCAN") and whether each is enabled.
std::array<ButtonEnable, 5> ButtonStates(ButtonState state);

// --- Results list --------------------------------------------------------

inline constexpr std::array<const char*, 4> kColumnTitles = {"Item", "Location", "Type", "Danger"};
// Header images of bitmap 134 (16 pixels wide, magenta transparent).
inline constexpr int kHeaderImageSize = 16;
inline constexpr std::uint32_t kHeaderMaskColour = 0xFF00FF;
inline constexpr int kFirstColumnHeaderImage = 1;
inline constexpr int kOtherColumnsHeaderImage = 0;
// Danger cells: red text on white, as Windows colour values (0x00BBGGRR).
// The texts themselves are refdb::DangerText.
inline constexpr std::uint32_t kDangerTextColour = 0x0000FF;
inline constexpr std::uint32_t kDangerBackColour = 0xFFFFFF;

struct ColumnWidths {
    int item;
    int location;
    int type;
    int danger;
};
// From the list window's width: with W = width - 2, the first three get
// 15W/64, 25W/64 and 10W/64 and "Danger" what is left of W, less 2.
ColumnWidths ComputeColumnWidths(int listWindowWidth);

// The texts of the three counters shown ("%d"): Registry = keys + values +
// value data, Cookies, Files = files + directories. The seven counters
// themselves are those of scan::ResultRows.
struct CounterTexts {
    std::string registry;
    std::string cookies;
    std::string files;
};
CounterTexts CounterTextsOf(const scan::ResultRows& rows);
// What every counter (and the hidden Memory value) reads after a reset.
inline constexpr const char* kCounterReset = "0";

// Rows whose entry name equals that of row `row`, ignoring case (the row
// itself included); empty when `row` is out of range.
std::vector<std::size_t> RelatedRows(const scan::ResultRows& rows, std::size_t row);
// "&Check all related items" (true) and "&Uncheck all related items"
// (false): sets the check mark of every related row and returns their
// indices, for the list control to follow.
std::vector<std::size_t> SetRelatedChecks(scan::ResultRows& rows, std::size_t row, bool checked);

// --- Texts ---------------------------------------------------------------

inline constexpr const char* kFullScanNotice =
    "You have selected to perform a full system scan, This process may take a while please be "
    "patient";
inline constexpr const char* kAlreadyScanning =
    "Already Scanning, Stop the scan and then try again";
inline constexpr const char* kScanAborted = "Scan Aborted";
inline constexpr const char* kScanComplete = "Scan Complete";
inline constexpr const char* kStopScanQuestion = "Are you sure you want to stop scanning?";
inline constexpr const char* kStopScanCaption = "Scan";
inline constexpr const char* kAddedToIgnoreList = "Item(s) added to ignore list";
inline constexpr const char* kIgnoreListNotWritten =
    "The ignore list could not be written. The item(s) are ignored until Brindlex is closed.";
inline constexpr const char* kSelectFolderTitle = "Select a folder to scan";
inline constexpr const char* kCannotUsePath = "Cannot use this path!";
// "Brindlex Detected %d Threats, ..." with the row count.
std::string RemovalQuestion(std::size_t rowCount);

// --- Scans ---------------------------------------------------------------

// The scan driver as the window holds it (scan::SmartScan, FullScan and
// FolderScan). Each start returns false when refused because a scan runs.
class ScanStarter {
  public:
    virtual ~ScanStarter() = default;
    virtual bool StartSmart() = 0;
    virtual bool StartFull() = 0;
    virtual bool StartFolder(std::string_view folder) = 0;
};

// What the window does when WM_SCAN_FINISHED arrives, in this order:
// compute the schedule again when asked, show `status` in the status line
// (and the progress bar at 0 when asked), show `status` in a message box,
// SetButtonState(kIdle), then AskRemoveDetected when `offerRemoval`.
struct ScanFinishedPlan {
    bool recomputeSchedule = false;  // "Schedule Scan" is not "0"
    std::string scanLogPath;         // the scan log written, if any
    std::string status;              // kScanAborted or kScanComplete
    bool resetProgress = false;      // a completed scan empties the bar
    bool offerRemoval = false;       // the list has rows
};

// --- Closing -------------------------------------------------------------

enum class CloseAction {
    kNothing,     // the window is in the tray already, or the notice was cancelled
    kEndProgram,  // end the dialog, and with it the program
    kGoToTray,    // HideWindowToTray(main) and ShowTrayIcon
};

// Dialog 228, `CMinimizeNoticeDialog`: caption "Brindlex v5.0", the text of
// string-table entry 32796 and the check box kMinimizeNoticeCheckBox.
struct MinimizeNoticeAnswer {
    bool ok = false;
    bool dontShowAgain = false;
};
class MinimizeNotice {
  public:
    virtual ~MinimizeNotice() = default;
    virtual MinimizeNoticeAnswer Show() = 0;
};
inline constexpr const char* kMinimizeNoticeCheckBox = "Do not display this dialogue in the future";

// --- Progress ------------------------------------------------------------

// Keeps repainting the progress at a rate the eye can follow (about 30 per
// second) when the scan thread reports thousands of steps a second.
class RepaintThrottle {
  public:
    static constexpr std::uint64_t kMinIntervalMs = 33;

    // `nowMs` is a monotonic time. True for the first call, then at most once
    // per interval; `finalState` (the last report of a scan) always paints.
    bool ShouldRepaint(std::uint64_t nowMs, bool finalState = false);
    // Before the next scan: its first report paints at once.
    void Reset() { painted_ = false; }

  private:
    bool painted_ = false;
    std::uint64_t lastMs_ = 0;
};

// --- The window's state and handlers -------------------------------------

class MainWindowModel {
  public:
    MainWindowModel(platform::System& system, removal::Prompts& prompts, LaunchOptions options);

    const LaunchOptions& options() const { return options_; }

    // Reads "scantype" (REG_DWORD, 0 when absent): at initialisation and
    // after the Scan Settings dialog. Nonzero selects the smart scan.
    void ReadScanType();
    std::uint32_t scanType() const { return scanType_; }

    // Set by the shield settings: at least one shield other than "hnt" on.
    void SetAnyShieldOn(bool on) { anyShieldOn_ = on; }
    bool anyShieldOn() const { return anyShieldOn_; }

    // "SCAN MY PC", timer 2002 and the scheduled scan, after the window has
    // reset the counters, the detections and the rows: the smart scan when
    // "scantype" is nonzero, else the full scan, shown first by
    // kFullScanNotice unless scanAtStart is set. A refusal shows
    // kAlreadyScanning. True when a scan started: SetButtonState(kScanning).
    bool StartSystemScan(ScanStarter& starter);
    // "SCAN FILES/FOLDERS" once a folder was chosen; same refusal and result.
    bool StartFolderScan(ScanStarter& starter, std::string_view folder);
    // WM_START_SCHEDULED_SCAN: sets scanAtStart for the rest of the run (no
    // full-scan notice any more). False while a scan runs: nothing more to
    // do. Otherwise the window restores itself from the tray, removes the
    // icon (RemoveTrayIcon) and starts the scan as "SCAN MY PC" does.
    bool BeginScheduledScan(bool scanning);

    // "STOP SCAN" while scanning: true when the user confirmed (then stop
    // the scan and empty the progress bar).
    bool AskStopScan();

    // WM_SCAN_FINISHED: reads "scnlg" and "Schedule Scan", writes the scan
    // log when "scnlg" is "1" and there are rows, and says what else to do.
    ScanFinishedPlan OnScanFinished(bool aborted, const scan::ResultRows& rows);
    // The removal question; true on Yes (then run "REMOVE ITEMS").
    bool AskRemoveDetected(std::size_t rowCount);

    // "&Add to Ignore List" on row `row`: marks its entry ignored, appends
    // "," and its name to the ignore list and says so. The rows stay. False
    // when `row` is out of range or the list could not be written (the user
    // is told; the entry stays ignored for this run).
    bool AddToIgnoreList(scan::ResultRows& rows, std::size_t row);

    // The cancel path: the close box, Esc and File > "E&xit" each call this
    // once. While the tray icon is shown nothing happens. With no shield on
    // and "Schedule Scan" not "1" the program ends. Otherwise the window
    // goes to the tray, after the notice unless "nowarn" is "1"; a ticked
    // check box writes "nowarn" = "1" whether the notice was confirmed or
    // cancelled. A cancelled notice leaves the window as it was and ends the
    // close: it is not passed on to another close path, so one close never
    // shows the notice twice.
    CloseAction OnCancel(bool trayIconShown, MinimizeNotice& notice);

  private:
    bool ReportRefusal(bool started);

    platform::System& system_;
    settings::SettingsStore settings_;
    removal::Prompts& prompts_;
    LaunchOptions options_;
    std::uint32_t scanType_ = 0;
    bool anyShieldOn_ = false;
};

}  // namespace app
