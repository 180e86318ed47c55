#pragma once
// What the main program's GUI tests share: answers for the message boxes,
// a message pump with a deadline, the results list read back through the
// list view messages, and the settings a test changes put back afterwards.
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/Windows.h"

#include "app/MainWindowModel.h"
#include "platform/System.h"
#include "removal/Prompts.h"
#include "update/UpdatePrompts.h"

namespace guitest {

// Records every question; answers Yes/No questions No, OK/Cancel ones Cancel,
// unless an answer was set for a text that starts with the given prefix.
class ScriptedPrompts : public removal::Prompts, public update::UpdatePrompts {
  public:
    struct Asked {
        std::string text;
        std::string caption;
        removal::Buttons buttons;
    };
    void Answer(std::string textPrefix, removal::Answer answer) {
        answers_[std::move(textPrefix)] = answer;
    }
    removal::Answer Ask(std::string_view text, std::string_view caption,
                        removal::Buttons buttons) override;
    bool Show(const update::Message& message) override;

    const std::vector<Asked>& asked() const { return asked_; }
    bool WasAsked(std::string_view text) const;
    void Clear() { asked_.clear(); }

  private:
    std::map<std::string, removal::Answer> answers_;
    std::vector<Asked> asked_;
};

// Dialog 228 answered without showing it.
class ScriptedNotice : public app::MinimizeNotice {
  public:
    app::MinimizeNoticeAnswer answer;
    int shown = 0;
    app::MinimizeNoticeAnswer Show() override {
        ++shown;
        return answer;
    }
};

// Runs the thread's messages until `done` holds or the time is up; true
// when `done` held.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(60));
// Runs the messages that are waiting.
void PumpPending();

struct ListRow {
    std::string item, location, type, danger;
    bool checked = false;
    // "Type<TAB>Danger<TAB>Item<TAB>Location", as bxcli prints a row.
    std::string ConsoleLine() const { return type + '\t' + danger + '\t' + item + '\t' + location; }
};
// The rows of a report list view with check boxes, read back from it.
std::vector<ListRow> ReadList(HWND list);
std::string ColumnTitle(HWND list, int column);
int ColumnWidth(HWND list, int column);
std::string WindowText(HWND window);

// Sets values under HKEY_CURRENT_USER\Software\Brindlex5 for one test and
// puts the earlier ones (or their absence) back when it goes away.
class SettingsOverride {
  public:
    explicit SettingsOverride(platform::System& system) : system_(system) {}
    ~SettingsOverride();
    SettingsOverride(const SettingsOverride&) = delete;
    SettingsOverride& operator=(const SettingsOverride&) = delete;

    void SetText(const std::string& name, const std::string& value);
    void SetDword(const std::string& name, std::uint32_t value);

  private:
    struct Saved {
        std::uint32_t type;
        std::string data;
    };
    void Remember(const std::string& name);

    platform::System& system_;
    std::map<std::string, std::optional<Saved>> saved_;
};

}  // namespace guitest
