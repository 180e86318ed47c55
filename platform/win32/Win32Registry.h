#pragma once
// The real registry through the wide advapi32 functions, with UTF-8 names and
// string data at the interface.
//
// String data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) is stored as UTF-16 and
// handed out as UTF-8, unit for unit: a terminating zero the writer stored is
// kept and none is added, and sizes count UTF-8 bytes. QueryInfoKey reports
// lengths that are safe upper bounds in UTF-8 bytes.
#include <cstddef>
#include <mutex>
#include <vector>

#include "platform/Registry.h"

namespace platform::win32 {

class Win32Registry : public Registry {
  public:
    Win32Registry() = default;
    ~Win32Registry() override = default;
    Win32Registry(const Win32Registry&) = delete;
    Win32Registry& operator=(const Win32Registry&) = delete;

    Status OpenKey(HKey parent, std::string_view subKey, std::uint32_t access,
                   HKey* result) override;
    Status CreateKey(HKey parent, std::string_view subKey, std::uint32_t options,
                     std::uint32_t access, HKey* result, bool* created) override;
    Status CloseKey(HKey key) override;
    Status QueryValue(HKey key, std::string_view name, std::uint32_t* type, void* data,
                      std::uint32_t* size) override;
    Status SetValue(HKey key, std::string_view name, std::uint32_t type, const void* data,
                    std::uint32_t size) override;
    Status DeleteValue(HKey key, std::string_view name) override;
    Status DeleteKey(HKey parent, std::string_view subKey) override;
    Status EnumKey(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                   char* className, std::uint32_t* classSize) override;
    Status EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                     std::uint32_t* type, void* data, std::uint32_t* dataSize) override;
    Status QueryInfoKey(HKey key, KeyInfo* info) override;
    // Waits on an event so that closing the handle from another thread ends
    // the wait at once, with kErrorInvalidHandle.
    Status NotifyChangeKeyValue(HKey key, bool watchSubtree, std::uint32_t filter) override;
    Status ConnectRegistry(std::string_view machine, HKey root, HKey* result) override;

  private:
    struct Waiter {
        HKey key;
        void* cancelEvent;
    };
    std::mutex mutex_;
    std::vector<Waiter*> waiters_;
};

}  // namespace platform::win32
