#pragma once
// Owns one open registry key and closes it once. Move-only.
#include <utility>

#include "platform/Registry.h"

namespace platform {

class ScopedKey {
  public:
    ScopedKey() = default;
    ScopedKey(Registry& registry, HKey key) : registry_(&registry), key_(key) {}
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    ScopedKey(ScopedKey&& other) noexcept
        : registry_(other.registry_), key_(std::exchange(other.key_, kNullKey)) {}
    ScopedKey& operator=(ScopedKey&& other) noexcept {
        if (this != &other) {
            Reset();
            registry_ = other.registry_;
            key_ = std::exchange(other.key_, kNullKey);
        }
        return *this;
    }
    ~ScopedKey() { Reset(); }

    // Opens `subKey` below `parent`; on failure the object stays empty.
    static Status Open(Registry& registry, HKey parent, std::string_view subKey,
                       std::uint32_t access, ScopedKey* out) {
        HKey key = kNullKey;
        Status status = registry.OpenKey(parent, subKey, access, &key);
        *out = status == kSuccess ? ScopedKey(registry, key) : ScopedKey();
        return status;
    }

    HKey get() const { return key_; }
    explicit operator bool() const { return key_ != kNullKey; }
    HKey release() { return std::exchange(key_, kNullKey); }
    void Reset() {
        if (key_ != kNullKey && registry_ != nullptr)
            registry_->CloseKey(key_);
        key_ = kNullKey;
    }

  private:
    Registry* registry_ = nullptr;
    HKey key_ = kNullKey;
};

// On 64-bit Windows the 32-bit view of HKEY_LOCAL_MACHINE\SOFTWARE is its
// Wow6432Node subkey; where that key is missing, both views are one key, so
// whatever is read or written in one view must not be done again in the other.
inline bool Has32BitView(Registry& registry) {
    ScopedKey key;
    return ScopedKey::Open(registry, kHkeyLocalMachine, "SOFTWARE\\Wow6432Node",
                           kKeyQueryValue | kKeyWow64_64Key, &key) == kSuccess;
}

}  // namespace platform
