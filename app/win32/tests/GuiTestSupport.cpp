#include "app/win32/tests/GuiTestSupport.h"

#include <commctrl.h>

#include "platform/ScopedKey.h"
#include "platform/win32/WideText.h"
#include "registry/RegistryHelper.h"
#include "settings/SettingsStore.h"
#include "settings/Strings.h"

namespace guitest {

using platform::win32::Narrow;

removal::Answer ScriptedPrompts::Ask(std::string_view text, std::string_view caption,
                                     removal::Buttons buttons) {
    asked_.push_back({std::string(text), std::string(caption), buttons});
    for (const auto& [prefix, answer] : answers_) {
        if (text.substr(0, prefix.size()) == prefix)
            return answer;
    }
    switch (buttons) {
        case removal::Buttons::kOk:
            return removal::Answer::kOk;
        case removal::Buttons::kYesNo:
            return removal::Answer::kNo;
        case removal::Buttons::kOkCancel:
            return removal::Answer::kCancel;
    }
    return removal::Answer::kNo;
}

bool ScriptedPrompts::Show(const update::Message& message) {
    return Ask(message.text, message.caption,
               message.yesNo ? removal::Buttons::kYesNo : removal::Buttons::kOk) ==
           removal::Answer::kYes;
}

bool ScriptedPrompts::WasAsked(std::string_view text) const {
    for (const Asked& question : asked_) {
        if (question.text == text)
            return true;
    }
    return false;
}

void PumpPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        PumpPending();
    }
    return true;
}

std::string WindowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return Narrow(text);
}

namespace {

std::string CellText(HWND list, int item, int column) {
    wchar_t text[1024] = {};
    LVITEMW info{};
    info.iSubItem = column;
    info.pszText = text;
    info.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&info));
    return Narrow(text);
}

}  // namespace

std::vector<ListRow> ReadList(HWND list) {
    std::vector<ListRow> rows;
    const auto count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        ListRow row{CellText(list, i, 0), CellText(list, i, 1), CellText(list, i, 2),
                    CellText(list, i, 3)};
        auto state = static_cast<UINT>(
            SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK));
        row.checked = ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
        rows.push_back(row);
    }
    return rows;
}

std::string ColumnTitle(HWND list, int column) {
    wchar_t text[256] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = text;
    info.cchTextMax = 256;
    SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&info));
    return Narrow(text);
}

int ColumnWidth(HWND list, int column) {
    return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void SettingsOverride::Remember(const std::string& name) {
    if (saved_.count(name) != 0)
        return;
    std::optional<Saved> saved;
    platform::ScopedKey key;
    if (platform::ScopedKey::Open(system_.registry, platform::kHkeyCurrentUser,
                                  settings::strings::kSettingsKey, platform::kKeyQueryValue,
                                  &key) == platform::kSuccess) {
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        if (system_.registry.QueryValue(key.get(), name, &type, nullptr, &size) ==
            platform::kSuccess) {
            std::string data(size, '\0');
            if (system_.registry.QueryValue(key.get(), name, &type, data.data(), &size) ==
                platform::kSuccess) {
                data.resize(size);
                saved = Saved{type, data};
            }
        }
    }
    saved_[name] = saved;
}

void SettingsOverride::SetText(const std::string& name, const std::string& value) {
    Remember(name);
    CRegistryHelper(system_.registry)
        .OpenOrCreateKey(platform::kHkeyCurrentUser, settings::strings::kSettingsKey);
    settings::SettingsStore(system_).SetSetting(name, value);
}

void SettingsOverride::SetDword(const std::string& name, std::uint32_t value) {
    Remember(name);
    CRegistryHelper(system_.registry)
        .SetDword(platform::kHkeyCurrentUser, settings::strings::kSettingsKey, name, value);
}

SettingsOverride::~SettingsOverride() {
    platform::ScopedKey key;
    if (platform::ScopedKey::Open(system_.registry, platform::kHkeyCurrentUser,
                                  settings::strings::kSettingsKey, platform::kKeySetValue,
                                  &key) != platform::kSuccess)
        return;
    for (const auto& [name, saved] : saved_) {
        if (saved) {
            system_.registry.SetValue(key.get(), name, saved->type, saved->data.data(),
                                      static_cast<std::uint32_t>(saved->data.size()));
        } else {
            system_.registry.DeleteValue(key.get(), name);
        }
    }
}

}  // namespace guitest
