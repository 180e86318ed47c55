#pragma once
// `CRegistryChangeMonitor`: one thread per watched key, blocked in a
// change notification; after each change it reports the key's id and waits
// until the report has been handled, then closes and reopens the key, so
// that what the handler writes itself is not reported back to it.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/Registry.h"

namespace shields {

inline constexpr const char* kOpenKeyError = "Error in RegOpenKeyEx while monitoring key";
inline constexpr const char* kNotifyError = "Error in RegNotifyChangeKeyValue while monitoring key";
inline constexpr const char* kCloseKeyError = "Error in RegCloseKey.";

class CRegistryChangeMonitor {
  public:
    // Called on the monitor's thread; returns once the change was handled.
    using Changed = std::function<void(int keyId)>;
    // A failure that ends one monitor, in the thread's own message box.
    using Failed = std::function<void(std::string_view message)>;

    explicit CRegistryChangeMonitor(platform::Registry& registry) : registry_(registry) {}
    ~CRegistryChangeMonitor() { Stop(); }
    CRegistryChangeMonitor(const CRegistryChangeMonitor&) = delete;
    CRegistryChangeMonitor& operator=(const CRegistryChangeMonitor&) = delete;

    // `SetOwner`: where the threads report.
    void SetOwner(Changed changed, Failed failed);
    // `AddKey`: starts a thread for the key; false when it cannot be made.
    bool AddKey(platform::HKey root, std::string subKey, int keyId);
    // Ends every thread and empties the list: the waits are woken by closing
    // their keys. `whileWaiting` runs while threads are still ending (the
    // window takes the messages they may be sending there).
    void Stop(const std::function<void()>& whileWaiting = {});

    std::size_t size() const { return watches_.size(); }
    // Threads still watching.
    std::size_t running() const;

  private:
    struct Watch {
        platform::HKey root = platform::kNullKey;
        std::string subKey;
        int keyId = 0;
        std::mutex mutex;
        platform::HKey open = platform::kNullKey;  // guarded by mutex
        std::atomic<bool> ended{false};
        std::thread thread;
    };
    void Run(Watch& watch);
    // Closes the watch's key unless Stop already did; the close's result.
    platform::Status CloseOpenKey(Watch& watch, platform::HKey key);

    platform::Registry& registry_;
    Changed changed_;
    Failed failed_;
    std::atomic<bool> stopping_{false};
    std::vector<std::unique_ptr<Watch>> watches_;
};

}  // namespace shields
