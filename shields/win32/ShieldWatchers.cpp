#include "shields/win32/ShieldWatchers.h"

#include <string>

#include "platform/win32/WideText.h"
#include "settings/Messages.h"

namespace shields::win32 {

void TakeSentMessages(DWORD ms) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_SENDMESSAGE);
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

ShieldWatchers::ShieldWatchers(platform::Registry& registry, HWND owner)
    : owner_(owner), monitor_(registry) {
    monitor_.SetOwner(
        [this](int keyId) {
            SendMessageW(owner_, app::WM_SHIELD_KEY_CHANGED, static_cast<WPARAM>(keyId), 0);
        },
        [](std::string_view message) {
            // The box gets a thread of its own, so that the monitor ends now
            // and nothing waits on the user at exit.
            std::wstring text = platform::win32::Widen(message);
            try {
                std::thread([text] {
                    MessageBoxW(nullptr, text.c_str(), L"Brindlex", MB_OK | MB_ICONERROR);
                }).detach();
            } catch (const std::system_error&) {
            }
        });
}

ShieldWatchers::~ShieldWatchers() {
    StopAll();
}

void ShieldWatchers::WatchKey(const KeyWatch& watch) {
    // A key that cannot be watched stays unwatched; the others go on.
    monitor_.AddKey(watch.root, watch.subKey, watch.keyId);
}

void ShieldWatchers::WatchFolder(const FolderWatch& watch) {
    auto thread = std::make_unique<FolderWatchThread>(watch.path, watch.filter, watch.message,
                                                      [this] { return owner_; });
    if (thread->Start())
        folders_.push_back(std::move(thread));
}

void ShieldWatchers::StopAll() {
    for (auto& folder : folders_)
        folder->RequestStop();
    monitor_.Stop([] { TakeSentMessages(10); });
    for (auto& folder : folders_) {
        while (!folder->Ended())
            TakeSentMessages(10);
        folder->Join();
    }
    folders_.clear();
}

std::size_t ShieldWatchers::Running() const {
    std::size_t count = monitor_.running();
    for (const auto& folder : folders_)
        count += folder->Ended() ? 0 : 1;
    return count;
}

}  // namespace shields::win32
