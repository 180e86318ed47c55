#pragma once
// "Brindlex v5.0 Preferences" (dialog 143): shows the settings, keeps the two
// start-up boxes linked, and on OK checks the paths and saves.
#include "app/Preferences.h"
#include "app/win32/AppContext.h"
#include "ui/Dialog.h"
#include "ui/MessageBoxPrompts.h"

namespace app {

class CPreferencesDialog : public ui::CDialog {
  public:
    CPreferencesDialog(AppContext& context, HWND parent);

    // Answers for the message boxes, instead of showing them.
    void SetPrompts(removal::Prompts& prompts) { prompts_ = &prompts; }
    void SetUpdatePrompts(update::UpdatePrompts& prompts) { updatePrompts_ = &prompts; }

    // What was saved by the last OK.
    const PreferencesData& data() const { return data_; }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;

  private:
    class OkHost;

    void BrowseLogFolder();
    void BrowseReferenceFile();

    AppContext& context_;
    PreferencesData data_;
    ui::MessageBoxPrompts boxes_;
    removal::Prompts* prompts_ = &boxes_;
    update::UpdatePrompts* updatePrompts_ = &boxes_;
};

}  // namespace app
