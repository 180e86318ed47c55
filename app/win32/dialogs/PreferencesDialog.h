#pragma once
// "Brindlex v5.0 Preferences" (dialog 143): shows the settings, keeps the two
// start-up boxes linked, and on OK checks the paths and saves.
#include "app/Preferences.h"
#include "app/win32/AppContext.h"
#include "ui/PromptingDialog.h"

namespace app {

class CPreferencesDialog : public ui::CPromptingDialog {
  public:
    CPreferencesDialog(AppContext& context, HWND parent);

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
};

}  // namespace app
