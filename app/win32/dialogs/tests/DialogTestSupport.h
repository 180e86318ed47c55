#pragma once
// What the dialog tests share: a whole platform over a scratch folder (the
// program "installed" there, settings in a MemoryRegistry), scripted answers
// for message boxes, and ways to act on modal windows from inside their
// message loops.
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/Windows.h"

#include <commctrl.h>

#include "app/win32/AppContext.h"
#include "platform/host/MemoryRegistry.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32Environment.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Network.h"
#include "platform/win32/Win32Processes.h"
#include "refdb/ReferenceDatabase.h"
#include "removal/Prompts.h"
#include "scan/ResultRows.h"
#include "update/UpdatePrompts.h"

namespace dialogtest {

// The running test program as if it were brindlex.exe in the scratch folder.
class ScratchProcesses : public platform::win32::Win32Processes {
  public:
    explicit ScratchProcesses(std::string exePath) : exePath_(std::move(exePath)) {}
    std::string ModuleFileName() override { return exePath_; }

  private:
    std::string exePath_;
};

class TestMachine {
  public:
    TestMachine();
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    platform::System& system() { return system_; }
    platform::host::MemoryRegistry& registry() { return registry_; }
    app::AppContext& context() { return context_; }
    refdb::ReferenceDatabase& database() { return database_; }
    // The program's folder (no trailing backslash) and full path.
    const std::string& folder() const { return folder_; }
    const std::string& exePath() const { return exePath_; }

    // Writes a file (creating its folder); fails the test on error.
    void WriteFile(const std::string& path, std::string_view contents);
    bool FileExists(const std::string& path);
    std::string ReadFile(const std::string& path);
    // The settings value, or "<absent>".
    std::string Setting(std::string_view name);

  private:
    std::string folder_;
    std::string exePath_;
    platform::host::MemoryRegistry registry_;
    platform::win32::Win32FileSystem files_;
    ScratchProcesses processes_;
    platform::win32::Win32Environment environment_;
    platform::win32::Win32Clock clock_;
    platform::win32::Win32Network network_;
    platform::System system_;
    refdb::ReferenceDatabase database_;
    scan::ResultRows rows_;
    app::AppContext context_;
};

// Answers every message box from a script and remembers what was asked.
// Thread-safe: the download worker asks from its own thread.
class ScriptedPrompts : public removal::Prompts, public update::UpdatePrompts {
  public:
    struct Asked {
        std::string text;
        std::string caption;
    };
    // Answers for the coming Yes/No questions, in order; once they run out
    // every question is answered Yes.
    void Answer(std::vector<bool> yesNo);

    removal::Answer Ask(std::string_view text, std::string_view caption,
                        removal::Buttons buttons) override;
    bool Show(const update::Message& message) override;

    std::vector<Asked> asked() const;
    // True when a message with exactly this text was shown.
    bool Saw(std::string_view text) const;

  private:
    bool NextAnswer();

    mutable std::mutex mutex_;
    std::vector<bool> answers_;
    std::vector<Asked> asked_;
};

// Runs `action` on this thread once a visible top-level window of this
// thread with `title` exists, from inside whatever message loop runs then
// (a modal dialog's, typically). Gives up after `timeoutMs`.
class WhenWindowAppears {
  public:
    WhenWindowAppears(std::wstring title, std::function<void(HWND)> action, UINT timeoutMs = 20000);
    ~WhenWindowAppears();
    WhenWindowAppears(const WhenWindowAppears&) = delete;
    WhenWindowAppears& operator=(const WhenWindowAppears&) = delete;
    bool done() const { return done_; }

  private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD);
    void Poll();

    std::wstring title_;
    std::function<void(HWND)> action_;
    DWORD deadline_;
    UINT_PTR timer_ = 0;
    bool done_ = false;
};

// A visible top-level window of this thread with this title, or null.
HWND FindThreadWindow(std::wstring_view title);
// Processes messages until `done` holds or `timeoutMs` passes; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Processes the messages waiting now.
void PumpPending();

// Sends BM_CLICK to a control of `dialog`.
void Click(HWND dialog, int id);
// List view helpers over the control `id` of `dialog`.
int ListRows(HWND dialog, int id);
std::wstring ListText(HWND dialog, int id, int row, int column);
bool ListChecked(HWND dialog, int id, int row);
void SetListChecked(HWND dialog, int id, int row, bool checked);
void SelectListRow(HWND dialog, int id, int row);

// Saves a picture of `window` as a test artifact; fails the test if it
// cannot.
void Screenshot(HWND window, std::string_view name);

}  // namespace dialogtest
