// The download window and RunUpdate against a server that is not there.
#include <gtest/gtest.h>

#include <string>

#include "app/win32/dialogs/UpdateDialogs.h"
#include "app/win32/dialogs/tests/DialogTestSupport.h"
#include "settings/SettingsStore.h"
#include "update/UpdateTexts.h"

// After the project's headers, which undo the A/W renaming <windows.h> does.
#include <winsock2.h>

namespace {

using namespace dialogtest;

TEST(UpdateDialogsTest, NoConnectionEndsTheDownloadWithCancelAndChangesNothing) {
    TestMachine machine;
    settings::SettingsStore settings(machine.system());
    // Port 9 of the loopback address: refused at once.
    ASSERT_TRUE(settings.SetSetting("updsrv", "http://127.0.0.1:9/"));
    std::string rfpBefore = machine.Setting("rfp");
    std::string dfBefore = machine.Setting("df");

    ScriptedPrompts prompts;
    bool reloaded = false;
    app::UpdateHooks hooks;
    hooks.prompts = &prompts;
    hooks.reload = [&] { reloaded = true; };
    EXPECT_FALSE(app::RunUpdate(machine.context(), nullptr, hooks));

    EXPECT_TRUE(prompts.Saw(update::texts::kConnectionError));
    EXPECT_FALSE(prompts.Saw(update::texts::kUpdateInstalled));
    EXPECT_FALSE(reloaded);
    EXPECT_EQ(machine.Setting("rfp"), rfpBefore);
    EXPECT_EQ(machine.Setting("df"), dfBefore);
}

TEST(UpdateDialogsTest, TheStartUpCheckShowsTheConnectionErrorAndEndsWithCancel) {
    TestMachine machine;
    ASSERT_TRUE(
        settings::SettingsStore(machine.system()).SetSetting("updsrv", "http://127.0.0.1:9/"));
    ScriptedPrompts prompts;
    app::CUpdateCheckDialog dialog(machine.context(), nullptr);
    dialog.SetUpdatePrompts(prompts);
    bool shownFirst = false;
    // The check waits for its timer, so the window is up before it runs.
    WhenWindowAppears waiting(L"Brindlex", [&](HWND window) {
        shownFirst = prompts.asked().empty() && IsWindowVisible(window);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(shownFirst);
    EXPECT_TRUE(prompts.Saw(update::texts::kConnectionError));
    EXPECT_FALSE(prompts.Saw(update::texts::kUpdatesAvailable));
}

// A server that takes connections and never answers, so the download
// window stays up until the test closes it.
class SilentServer {
  public:
    SilentServer() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(socket_, 4);
        int size = sizeof(address);
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~SilentServer() {
        Close();
        WSACleanup();
    }
    // Unaccepted connections are reset: the waiting request fails.
    void Close() {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    std::string address() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

  private:
    SOCKET socket_ = INVALID_SOCKET;
    unsigned short port_ = 0;
};

TEST(UpdateDialogsTest, ProgressReportsMoveTheBarAndTheTextUntilTheWorkerEndsIt) {
    TestMachine machine;
    SilentServer server;
    ASSERT_TRUE(settings::SettingsStore(machine.system()).SetSetting("updsrv", server.address()));
    ScriptedPrompts prompts;
    app::CDownloadDialog dialog(machine.context(), nullptr);
    dialog.SetUpdatePrompts(prompts);
    std::wstring text;
    int position = -1;
    bool stayedAfterAbort = false;
    WhenWindowAppears progress(L"Downloading Update ......", [&](HWND window) {
        // A report as the worker sends it.
        SendMessageW(window, update::kWmDownloadStatus, 40, 0);
        wchar_t buffer[128] = {};
        GetDlgItemTextW(window, 1077, buffer, 128);
        text = buffer;
        position = static_cast<int>(SendDlgItemMessageW(window, 1073, PBM_GETPOS, 0, 0));
        Screenshot(window, "download-dialog");
        // "Abort" only raises the flag; the window waits for the worker.
        Click(window, IDCANCEL);
        PumpPending();
        stayedAfterAbort = IsWindow(window) != FALSE;
        server.Close();
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_TRUE(progress.done());
    EXPECT_EQ(text, L"Download Status: 40% Complete");
    EXPECT_EQ(position, 40);
    EXPECT_TRUE(stayedAfterAbort);
}

}  // namespace
