#include "registry/RegistryHelper.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

using platform::HKey;
using platform::kNullKey;
using platform::ScopedKey;
using platform::Status;

namespace {

constexpr std::uint32_t kReadWrite = platform::kKeyRead | platform::kKeyWrite;

// Room for a subkey name of 299 characters and its terminating zero while
// deleting a tree; a character takes up to three bytes of UTF-8 (key names
// are at most 255 characters, so every name fits).
constexpr std::uint32_t kSubkeyNameBufferSize = 299 * 3 + 1;

}  // namespace

ScopedKey CRegistryHelper::OpenKey(HKey root, std::string_view path, std::uint32_t access) const {
    HKey key = kNullKey;
    if (m_registry.OpenKey(root, path, access, &key) != platform::kSuccess) {
        // Never hand out (or leak) a handle that came back with a failure.
        if (key != kNullKey) {
            m_registry.CloseKey(key);
        }
        return ScopedKey();
    }
    return ScopedKey(m_registry, key);
}

ScopedKey CRegistryHelper::OpenOrCreateKey(HKey root, std::string_view path) const {
    ScopedKey opened = OpenKey(root, path, kReadWrite);
    if (opened) {
        return opened;
    }
    HKey key = kNullKey;
    if (m_registry.CreateKey(root, path, platform::kRegOptionNonVolatile, kReadWrite, &key,
                             nullptr) != platform::kSuccess) {
        if (key != kNullKey) {
            m_registry.CloseKey(key);
        }
        return ScopedKey();
    }
    return ScopedKey(m_registry, key);
}

std::uint32_t CRegistryHelper::QueryDword(HKey root, std::string_view path, std::string_view name,
                                          std::uint32_t defaultValue) const {
    ScopedKey key = OpenKey(root, path, platform::kKeyRead);
    if (!key) {
        return defaultValue;
    }
    std::uint8_t bytes[sizeof(std::uint32_t)] = {};
    std::uint32_t size = sizeof bytes;
    if (m_registry.QueryValue(key.get(), name, nullptr, bytes, &size) != platform::kSuccess) {
        return defaultValue;
    }
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

std::string CRegistryHelper::QueryString(HKey root, std::string_view path, std::string_view name,
                                         std::string_view defaultValue) const {
    ScopedKey key = OpenKey(root, path, platform::kKeyRead);
    if (!key) {
        return std::string(defaultValue);
    }
    std::uint32_t size = 0;
    if (m_registry.QueryValue(key.get(), name, nullptr, nullptr, &size) != platform::kSuccess) {
        return std::string(defaultValue);
    }
    std::vector<char> buffer;
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        return std::string(defaultValue);
    }
    std::uint32_t read = size;
    if (m_registry.QueryValue(key.get(), name, nullptr, buffer.data(), &read) !=
        platform::kSuccess) {
        return std::string(defaultValue);
    }
    // The text ends at its terminating zero, or at the end of the data when
    // the writer left it out.
    const auto end = buffer.begin() + std::min(read, size);
    return std::string(buffer.begin(), std::find(buffer.begin(), end, '\0'));
}

std::string CRegistryHelper::QueryString(std::string_view name,
                                         std::string_view defaultValue) const {
    if (m_root == kNullKey) {
        return std::string();
    }
    return QueryString(m_root, m_path, name, defaultValue);
}

bool CRegistryHelper::SetDword(HKey root, std::string_view path, std::string_view name,
                               std::uint32_t value) const {
    ScopedKey key = OpenOrCreateKey(root, path);
    if (!key) {
        return false;
    }
    return m_registry.SetValue(key.get(), name, platform::kRegDword, &value, sizeof value) ==
           platform::kSuccess;
}

bool CRegistryHelper::SetString(HKey root, std::string_view path, std::string_view name,
                                std::string_view text) const {
    // The stored size, terminating zero included, must fit in 32 bits.
    if (text.size() >= std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    ScopedKey key = OpenOrCreateKey(root, path);
    if (!key) {
        return false;
    }
    std::string data(text);
    return m_registry.SetValue(key.get(), name, platform::kRegSz, data.c_str(),
                               static_cast<std::uint32_t>(data.size() + 1)) == platform::kSuccess;
}

Status CRegistryHelper::DeleteValue(HKey root, std::string_view path, std::string_view name) const {
    ScopedKey key;
    const Status opened = ScopedKey::Open(m_registry, root, path, kReadWrite, &key);
    if (opened != platform::kSuccess) {
        return opened;
    }
    return m_registry.DeleteValue(key.get(), name);
}

Status CRegistryHelper::DeleteKeyTree(HKey root, std::string_view path) const {
    ScopedKey key;
    const Status opened = ScopedKey::Open(m_registry, root, path, platform::kKeyAllAccess, &key);
    if (opened != platform::kSuccess) {
        return opened;
    }
    // Deleting shifts the indexes, so the first subkey is read again after
    // every deletion.
    Status status = platform::kSuccess;
    for (;;) {
        char name[kSubkeyNameBufferSize];
        std::uint32_t nameSize = kSubkeyNameBufferSize;
        status = m_registry.EnumKey(key.get(), 0, name, &nameSize, nullptr, nullptr);
        if (status != platform::kSuccess) {
            break;
        }
        const Status deleted = DeleteKeyTree(
            key.get(), std::string_view(name, std::min(nameSize, kSubkeyNameBufferSize)));
        if (deleted != platform::kSuccess) {
            return deleted;
        }
    }
    if (status == platform::kErrorNoMoreItems || status == platform::kErrorBadKey) {
        status = m_registry.DeleteKey(root, path);
    }
    return status;
}
