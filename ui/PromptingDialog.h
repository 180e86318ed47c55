#pragma once
// A dialog that asks questions: message boxes owned by the dialog, or the
// answers a test gives instead.
#include "removal/Prompts.h"
#include "ui/Dialog.h"
#include "ui/MessageBoxPrompts.h"
#include "update/UpdatePrompts.h"

namespace ui {

class CPromptingDialog : public CDialog {
  public:
    using CDialog::CDialog;

    void SetPrompts(removal::Prompts& prompts) { prompts_ = &prompts; }
    void SetUpdatePrompts(update::UpdatePrompts& prompts) { updatePrompts_ = &prompts; }

  protected:
    removal::Prompts& prompts() {
        boxes_.SetOwner(hwnd());
        return *prompts_;
    }
    update::UpdatePrompts& updatePrompts() {
        boxes_.SetOwner(hwnd());
        return *updatePrompts_;
    }

  private:
    MessageBoxPrompts boxes_;
    removal::Prompts* prompts_ = &boxes_;
    update::UpdatePrompts* updatePrompts_ = &boxes_;
};

}  // namespace ui
