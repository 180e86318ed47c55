#include "app/win32/dialogs/tests/DialogTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>

#include "platform/win32/WideText.h"
#include "settings/SettingsStore.h"
#include "ui/Screenshot.h"

namespace dialogtest {

using platform::win32::Narrow;
using platform::win32::Widen;

namespace {

std::string MakeScratchFolder() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"bxdialogs-" +
                          std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(counter.fetch_add(1));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return Narrow(folder);
}

// Makes the controls of comctl32 version 6 (the test program carries the
// same manifest as the real one).
class CommonControls : public ::testing::Environment {
  public:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
    }
};
const ::testing::Environment* const kCommonControls =
    ::testing::AddGlobalTestEnvironment(new CommonControls);

}  // namespace

TestMachine::TestMachine()
    : folder_(MakeScratchFolder()),
      exePath_(folder_ + "\\brindlex.exe"),
      processes_(exePath_),
      system_{registry_, files_, processes_, environment_, clock_, network_},
      database_(system_),
      context_{system_, database_, rows_, exePath_} {
    settings::SettingsStore settings(system_);
    settings.WriteDefaultSettings();
}

TestMachine::~TestMachine() {
    std::error_code ignored;
    std::filesystem::remove_all(Widen(folder_), ignored);
}

void TestMachine::WriteFile(const std::string& path, std::string_view contents) {
    std::filesystem::path wide(Widen(path));
    std::filesystem::create_directories(wide.parent_path());
    ASSERT_EQ(files_.WriteFile(path, contents), platform::kSuccess) << path;
}

bool TestMachine::FileExists(const std::string& path) {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string TestMachine::ReadFile(const std::string& path) {
    std::string contents;
    EXPECT_EQ(files_.ReadFile(path, &contents), platform::kSuccess) << path;
    return contents;
}

std::string TestMachine::Setting(std::string_view name) {
    std::string value;
    if (!settings::SettingsStore(system_).GetSetting(name, &value))
        return "<absent>";
    return value;
}

void ScriptedPrompts::Answer(std::vector<bool> yesNo) {
    std::lock_guard lock(mutex_);
    answers_ = std::move(yesNo);
}

bool ScriptedPrompts::NextAnswer() {
    if (answers_.empty())
        return true;
    bool answer = answers_.front();
    answers_.erase(answers_.begin());
    return answer;
}

removal::Answer ScriptedPrompts::Ask(std::string_view text, std::string_view caption,
                                     removal::Buttons buttons) {
    std::lock_guard lock(mutex_);
    asked_.push_back({std::string(text), std::string(caption)});
    if (buttons == removal::Buttons::kOk)
        return removal::Answer::kOk;
    return NextAnswer() ? removal::Answer::kYes : removal::Answer::kNo;
}

bool ScriptedPrompts::Show(const update::Message& message) {
    std::lock_guard lock(mutex_);
    asked_.push_back({message.text, message.caption});
    return message.yesNo ? NextAnswer() : false;
}

std::vector<ScriptedPrompts::Asked> ScriptedPrompts::asked() const {
    std::lock_guard lock(mutex_);
    return asked_;
}

bool ScriptedPrompts::Saw(std::string_view text) const {
    std::lock_guard lock(mutex_);
    for (const Asked& asked : asked_) {
        if (asked.text == text)
            return true;
    }
    return false;
}

namespace {
std::map<UINT_PTR, WhenWindowAppears*>& Waiters() {
    static std::map<UINT_PTR, WhenWindowAppears*> waiters;
    return waiters;
}
}  // namespace

WhenWindowAppears::WhenWindowAppears(std::wstring title, std::function<void(HWND)> action,
                                     UINT timeoutMs)
    : title_(std::move(title)), action_(std::move(action)), deadline_(GetTickCount() + timeoutMs) {
    timer_ = SetTimer(nullptr, 0, 20, &WhenWindowAppears::OnTimer);
    Waiters()[timer_] = this;
}

WhenWindowAppears::~WhenWindowAppears() {
    if (timer_ != 0) {
        KillTimer(nullptr, timer_);
        Waiters().erase(timer_);
    }
}

void CALLBACK WhenWindowAppears::OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    auto found = Waiters().find(id);
    if (found != Waiters().end())
        found->second->Poll();
}

void WhenWindowAppears::Poll() {
    HWND window = FindThreadWindow(title_);
    bool expired = static_cast<LONG>(GetTickCount() - deadline_) > 0;
    if (window == nullptr && !expired)
        return;
    KillTimer(nullptr, timer_);
    Waiters().erase(timer_);
    timer_ = 0;
    if (window == nullptr) {
        ADD_FAILURE() << "no window \"" << Narrow(title_) << "\" appeared";
        return;
    }
    done_ = true;
    action_(window);
}

HWND FindThreadWindow(std::wstring_view title) {
    struct Search {
        std::wstring_view title;
        HWND found = nullptr;
    } search{title};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t text[256] = {};
            GetWindowTextW(window, text, 256);
            if (IsWindowVisible(window) && s->title == text) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PumpPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        PumpPending();
    }
    return true;
}

void Click(HWND dialog, int id) {
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

int ListRows(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring ListText(HWND dialog, int id, int row, int column) {
    wchar_t buffer[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 512;
    SendDlgItemMessageW(dialog, id, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(&item));
    return buffer;
}

bool ListChecked(HWND dialog, int id, int row) {
    auto state = static_cast<UINT>(SendDlgItemMessageW(
        dialog, id, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;
}

void SetListChecked(HWND dialog, int id, int row, bool checked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendDlgItemMessageW(dialog, id, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(&item));
}

void SelectListRow(HWND dialog, int id, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendDlgItemMessageW(dialog, id, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(&item));
}

void Screenshot(HWND window, std::string_view name) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    // Wine hands window surfaces to the display a little later: let it.
    PumpUntil([] { return false; }, 400);
    std::string path = ui::ScreenshotPath(name);
    EXPECT_TRUE(ui::SaveWindowPng(window, path)) << path;
}

}  // namespace dialogtest
