#pragma once
// The base of the registry wrapper tests: an in-memory registry whose keys
// and values are made and checked straight through the platform interface,
// so the code under test never prepares or checks its own results.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/host/MemoryRegistry.h"

namespace registrytest {

class RawRegistryTest : public ::testing::Test {
  protected:
    void MakeKey(std::string_view path) {
        platform::HKey key = platform::kNullKey;
        ASSERT_EQ(reg.CreateKey(platform::kHkeyCurrentUser, path, platform::kRegOptionNonVolatile,
                                platform::kKeyAllAccess, &key, nullptr),
                  platform::kSuccess)
            << path;
        reg.CloseKey(key);
    }
    void Put(std::string_view path, std::string_view name, std::uint32_t type,
             std::string_view data) {
        platform::HKey key = platform::kNullKey;
        ASSERT_EQ(reg.CreateKey(platform::kHkeyCurrentUser, path, platform::kRegOptionNonVolatile,
                                platform::kKeyAllAccess, &key, nullptr),
                  platform::kSuccess);
        EXPECT_EQ(
            reg.SetValue(key, name, type, data.data(), static_cast<std::uint32_t>(data.size())),
            platform::kSuccess);
        reg.CloseKey(key);
    }
    bool Exists(std::string_view path) {
        platform::HKey key = platform::kNullKey;
        if (reg.OpenKey(platform::kHkeyCurrentUser, path, platform::kKeyRead, &key) !=
            platform::kSuccess) {
            return false;
        }
        reg.CloseKey(key);
        return true;
    }
    // The stored type and bytes, or false when the value is missing.
    bool Read(std::string_view path, std::string_view name, std::uint32_t* type,
              std::string* data) {
        platform::HKey key = platform::kNullKey;
        if (reg.OpenKey(platform::kHkeyCurrentUser, path, platform::kKeyRead, &key) !=
            platform::kSuccess) {
            return false;
        }
        std::uint32_t size = 0;
        platform::Status status = reg.QueryValue(key, name, type, nullptr, &size);
        if (status == platform::kSuccess) {
            data->assign(size, '\0');
            status = reg.QueryValue(key, name, type, data->data(), &size);
        }
        reg.CloseKey(key);
        return status == platform::kSuccess;
    }

    platform::host::MemoryRegistry reg;
};

}  // namespace registrytest
