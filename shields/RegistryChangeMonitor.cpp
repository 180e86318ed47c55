#include "shields/RegistryChangeMonitor.h"

#include <chrono>

namespace shields {

using platform::kSuccess;

namespace {
// Name, attributes, last-set and security changes, the subtree included.
constexpr std::uint32_t kAnyChange =
    platform::kNotifyChangeName | platform::kNotifyChangeAttributes |
    platform::kNotifyChangeLastSet | platform::kNotifyChangeSecurity;
}  // namespace

void CRegistryChangeMonitor::SetOwner(Changed changed, Failed failed) {
    changed_ = std::move(changed);
    failed_ = std::move(failed);
}

bool CRegistryChangeMonitor::AddKey(platform::HKey root, std::string subKey, int keyId) {
    auto watch = std::make_unique<Watch>();
    watch->root = root;
    watch->subKey = std::move(subKey);
    watch->keyId = keyId;
    try {
        Watch& w = *watch;
        w.thread = std::thread([this, &w] { Run(w); });
    } catch (const std::system_error&) {
        return false;
    }
    watches_.push_back(std::move(watch));
    return true;
}

std::size_t CRegistryChangeMonitor::running() const {
    std::size_t count = 0;
    for (const auto& watch : watches_)
        count += watch->ended.load() ? 0 : 1;
    return count;
}

platform::Status CRegistryChangeMonitor::CloseOpenKey(Watch& watch, platform::HKey key) {
    std::lock_guard<std::mutex> lock(watch.mutex);
    if (watch.open != key)
        return kSuccess;  // Stop closed it
    watch.open = platform::kNullKey;
    return registry_.CloseKey(key);
}

void CRegistryChangeMonitor::Run(Watch& watch) {
    auto fail = [this](const char* message) {
        if (!stopping_ && failed_)
            failed_(message);
    };
    while (!stopping_) {
        platform::HKey key = platform::kNullKey;
        if (registry_.OpenKey(watch.root, watch.subKey, platform::kKeyNotify, &key) != kSuccess) {
            fail(kOpenKeyError);
            break;
        }
        {
            std::lock_guard<std::mutex> lock(watch.mutex);
            if (stopping_) {
                registry_.CloseKey(key);
                break;
            }
            watch.open = key;
        }
        const platform::Status status = registry_.NotifyChangeKeyValue(key, true, kAnyChange);
        if (stopping_) {
            CloseOpenKey(watch, key);
            break;
        }
        // A deleted key is a change the handler must see; reopening it
        // then fails.
        if (status != kSuccess && status != platform::kErrorKeyDeleted) {
            CloseOpenKey(watch, key);
            fail(kNotifyError);
            break;
        }
        if (changed_)
            changed_(watch.keyId);
        if (CloseOpenKey(watch, key) != kSuccess) {
            fail(kCloseKeyError);
            break;
        }
    }
    watch.ended = true;
}

void CRegistryChangeMonitor::Stop(const std::function<void()>& whileWaiting) {
    stopping_ = true;
    for (auto& watch : watches_) {
        std::lock_guard<std::mutex> lock(watch->mutex);
        if (watch->open != platform::kNullKey) {
            registry_.CloseKey(watch->open);
            watch->open = platform::kNullKey;
        }
    }
    for (auto& watch : watches_) {
        while (!watch->ended.load()) {
            if (whileWaiting)
                whileWaiting();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (watch->thread.joinable())
            watch->thread.join();
    }
    watches_.clear();
    stopping_ = false;
}

}  // namespace shields
