#pragma once
// `CLoadSignaturesDialog` (dialog 131): "Loading protection signatures ..."
// over bitmap 129 with a progress bar. Once it is on screen it loads the
// Reference file and ends with OK, or with Cancel when nothing was loaded.
#include <functional>

#include "refdb/ReferenceDatabase.h"
#include "ui/Dialog.h"

namespace app {

class CLoadSignaturesDialog : public ui::CDialog {
  public:
    // `loadReferenceFile` gets the progress bar's window (the main window's
    // LoadReferenceFile).
    CLoadSignaturesDialog(HWND parent, std::function<bool(HWND progressBar)> loadReferenceFile);
    ~CLoadSignaturesDialog() override;

  protected:
    bool OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
    void OnCancel() override {}
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    std::function<bool(HWND)> loadReferenceFile_;
    HBITMAP bitmap_ = nullptr;
};

// The loading progress of the Reference file on a progress bar control; it
// is painted at once because the loading blocks the window's messages.
class ProgressBarLoadProgress : public refdb::LoadProgress {
  public:
    explicit ProgressBarLoadProgress(HWND progressBar) : bar_(progressBar) {}
    void SetRange(int lower, int upper) override;
    void Step() override;

  private:
    HWND bar_;
};

}  // namespace app
