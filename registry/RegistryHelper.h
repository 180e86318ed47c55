#pragma once
// The light registry layer: plain operations over a root key and a path that
// never raise. Opens give an empty key, queries the caller's default, writes
// false and deletions the system's error code.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Registry.h"
#include "platform/ScopedKey.h"

class CRegistryHelper {
  public:
    explicit CRegistryHelper(platform::Registry& registry) noexcept : m_registry(registry) {}
    // An object bound to one key, for the member QueryString.
    CRegistryHelper(platform::Registry& registry, platform::HKey root, std::string path)
        : m_registry(registry), m_root(root), m_path(std::move(path)) {}

    // The root and path are set together; kNullKey means none.
    void SetRootAndPath(platform::HKey root, std::string path) {
        m_root = root;
        m_path = std::move(path);
    }
    platform::HKey GetRoot() const noexcept { return m_root; }
    const std::string& GetPath() const noexcept { return m_path; }

    // RegOpenKeyEx; an empty key on failure.
    platform::ScopedKey OpenKey(platform::HKey root, std::string_view path,
                                std::uint32_t access) const;
    // Opens for reading and writing, creating the key (and any missing keys on
    // the way) when it cannot be opened; an empty key on failure.
    platform::ScopedKey OpenOrCreateKey(platform::HKey root, std::string_view path) const;

    // At most 4 bytes of the value, whatever its type; `defaultValue` on any
    // failure.
    std::uint32_t QueryDword(platform::HKey root, std::string_view path, std::string_view name,
                             std::uint32_t defaultValue) const;
    // The value's text up to its first zero; `defaultValue` on any failure.
    std::string QueryString(platform::HKey root, std::string_view path, std::string_view name,
                            std::string_view defaultValue) const;
    // The same below this object's root and path; without a root, the empty
    // string.
    std::string QueryString(std::string_view name, std::string_view defaultValue) const;

    // Both create missing keys on the way; true on success.
    bool SetDword(platform::HKey root, std::string_view path, std::string_view name,
                  std::uint32_t value) const;
    // Stores REG_SZ with the terminating zero.
    bool SetString(platform::HKey root, std::string_view path, std::string_view name,
                   std::string_view text) const;

    // The system's result code (kSuccess when deleted).
    platform::Status DeleteValue(platform::HKey root, std::string_view path,
                                 std::string_view name) const;
    // Deletes `path` below `root` with everything under it, deepest keys
    // first; stops at the first failure and returns its code.
    platform::Status DeleteKeyTree(platform::HKey root, std::string_view path) const;

  private:
    platform::Registry& m_registry;
    platform::HKey m_root = platform::kNullKey;
    std::string m_path;
};
