#pragma once
// The update windows: "Checking for updates ..." at start, the download
// progress window with its worker thread, and RunUpdate, the
// "UPDATE PROTECTION" command.
#include <functional>
#include <memory>
#include <thread>

#include "app/win32/AppContext.h"
#include "ui/PromptingDialog.h"
#include "update/DownloadWorker.h"

namespace app {

// Ends with IDOK when the server offers a newer Reference file and the user
// wants it.
class CUpdateCheckDialog : public ui::CPromptingDialog {
  public:
    CUpdateCheckDialog(AppContext& context, HWND parent);

    // The check runs once the window is on screen.
    static constexpr UINT_PTR kCheckTimer = 1999;
    static constexpr UINT kCheckDelayMs = 1000;

  protected:
    bool OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;

  private:
    AppContext& context_;
};

// Downloads and installs the newest Reference file on a worker thread;
// ends with IDOK when it was installed, IDCANCEL otherwise.
class CDownloadDialog : public ui::CPromptingDialog {
  public:
    CDownloadDialog(AppContext& context, HWND parent);
    ~CDownloadDialog() override;

  protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    void OnDestroy() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    class StatusToWindow;

    void JoinWorker();

    AppContext& context_;
    std::unique_ptr<StatusToWindow> sink_;
    std::unique_ptr<update::DownloadWorker> worker_;
    std::thread thread_;
};

// What RunUpdate asks of the main window.
struct UpdateHooks {
    // Empties the results list: its rows point into the database that is
    // about to be rebuilt. Empty: only the context's rows are cleared.
    std::function<void()> clearRows;
    // Loads the new Reference file (the main window shows its loading
    // dialog). Empty: the context's database is loaded from "rfp" here.
    std::function<void()> reload;
    // Answers for the message boxes, instead of showing them.
    update::UpdatePrompts* prompts = nullptr;
};

// Runs the download; once installed, clears the results, reloads the
// Reference file and says so. True when a new file was installed.
bool RunUpdate(AppContext& context, HWND parent, const UpdateHooks& hooks = {});

}  // namespace app
