#pragma once
// `CScheduleDialog` (dialog 220, "Add a Schedule"): a day-of-week or a
// periodic schedule at a whole hour, or none.
#include <string>

#include "platform/System.h"
#include "schedule/ScheduleForm.h"
#include "ui/PromptingDialog.h"

namespace schedule {

class CScheduleDialog : public ui::CPromptingDialog {
  public:
    CScheduleDialog(platform::System& system, HWND parent);

    // After OK: the next scan's display text, empty when the schedule was
    // switched off.
    std::string nextScan;

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;

  private:
    ScheduleForm ReadForm() const;
    void ShowForm(const ScheduleForm& form);
    void UpdateControls();
    std::string ComboText(int id) const;
    void SelectComboText(int id, const std::string& text);

    platform::System& system_;
};

}  // namespace schedule
