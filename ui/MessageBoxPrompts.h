#pragma once
// The questions of removal and update answered by real message boxes.
#include "platform/win32/Windows.h"

#include "removal/Prompts.h"
#include "update/UpdatePrompts.h"

namespace ui {

class MessageBoxPrompts : public removal::Prompts, public update::UpdatePrompts {
  public:
    explicit MessageBoxPrompts(HWND owner = nullptr) : owner_(owner) {}

    void SetOwner(HWND owner) { owner_ = owner; }
    HWND owner() const { return owner_; }

    removal::Answer Ask(std::string_view text, std::string_view caption,
                        removal::Buttons buttons) override;
    bool Show(const update::Message& message) override;

  private:
    HWND owner_;
};

// MessageBoxW with UTF-8 texts.
int ShowMessageBox(HWND owner, std::string_view text, std::string_view caption, UINT flags);

}  // namespace ui
