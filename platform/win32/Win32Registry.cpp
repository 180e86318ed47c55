#include "platform/win32/Win32Registry.h"

#include "platform/win32/Windows.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace platform::win32 {

namespace {

HKEY ToHkey(HKey key) {
    return reinterpret_cast<HKEY>(key);
}
HKey FromHkey(HKEY key) {
    return reinterpret_cast<HKey>(key);
}

Status ToStatus(LONG result) {
    return static_cast<Status>(result);
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// UTF-16 data as stored -> UTF-8, unit for unit (zeros included); an odd
// last byte cannot be a character and is dropped.
std::string NarrowData(const std::vector<BYTE>& raw, DWORD size) {
    std::wstring units(size / 2, L'\0');
    if (!units.empty())
        std::memcpy(units.data(), raw.data(), units.size() * sizeof(wchar_t));
    return Narrow(units);
}

// Copies a name with the interface's size rules: on a short buffer the
// capacity needed (with the terminating zero) is reported.
Status CopyName(const std::string& value, char* name, std::uint32_t* nameSize) {
    auto needed = static_cast<std::uint32_t>(value.size() + 1);
    if (*nameSize < needed) {
        *nameSize = needed;
        return kErrorMoreData;
    }
    std::memcpy(name, value.data(), value.size());
    name[value.size()] = '\0';
    *nameSize = static_cast<std::uint32_t>(value.size());
    return kSuccess;
}

// Copies data; on a short buffer reports the size needed.
Status CopyData(const std::string& value, void* data, std::uint32_t* size) {
    auto needed = static_cast<std::uint32_t>(value.size());
    if (data != nullptr) {
        if (*size < needed) {
            *size = needed;
            return kErrorMoreData;
        }
        if (needed > 0)
            std::memcpy(data, value.data(), needed);
    }
    if (size != nullptr)
        *size = needed;
    return kSuccess;
}

// Reads a value whole, retrying while it grows under us.
LONG ReadValue(HKEY key, const std::wstring& name, DWORD* type, std::string* out) {
    DWORD size = 0;
    LONG r = RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size);
    if (r != ERROR_SUCCESS)
        return r;
    std::vector<BYTE> raw(size);
    while (size > 0) {
        r = RegQueryValueExW(key, name.c_str(), nullptr, type, raw.data(), &size);
        if (r != ERROR_MORE_DATA)
            break;
        raw.resize(size);
    }
    if (r != ERROR_SUCCESS)
        return r;
    *out = IsStringType(*type) ? NarrowData(raw, size)
                               : std::string(reinterpret_cast<const char*>(raw.data()), size);
    return ERROR_SUCCESS;
}

}  // namespace

Status Win32Registry::OpenKey(HKey parent, std::string_view subKey, std::uint32_t access,
                              HKey* result) {
    if (result == nullptr)
        return kErrorInvalidParameter;
    HKEY key = nullptr;
    LONG r = RegOpenKeyExW(ToHkey(parent), Widen(subKey).c_str(), 0, access, &key);
    if (r == ERROR_SUCCESS)
        *result = FromHkey(key);
    return ToStatus(r);
}

Status Win32Registry::CreateKey(HKey parent, std::string_view subKey, std::uint32_t options,
                                std::uint32_t access, HKey* result, bool* created) {
    if (result == nullptr)
        return kErrorInvalidParameter;
    if (subKey.empty()) {
        // The key itself: opened, never created (Wine reports it as new).
        Status s = OpenKey(parent, subKey, access, result);
        if (s == kSuccess && created != nullptr)
            *created = false;
        return s;
    }
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG r = RegCreateKeyExW(ToHkey(parent), Widen(subKey).c_str(), 0, nullptr, options, access,
                             nullptr, &key, &disposition);
    if (r == ERROR_SUCCESS) {
        *result = FromHkey(key);
        if (created != nullptr)
            *created = disposition == REG_CREATED_NEW_KEY;
    }
    return ToStatus(r);
}

Status Win32Registry::CloseKey(HKey key) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Waiter* w : waiters_) {
            if (w->key == key)
                SetEvent(static_cast<HANDLE>(w->cancelEvent));
        }
    }
    return ToStatus(RegCloseKey(ToHkey(key)));
}

Status Win32Registry::QueryValue(HKey key, std::string_view name, std::uint32_t* type, void* data,
                                 std::uint32_t* size) {
    if (data != nullptr && size == nullptr)
        return kErrorInvalidParameter;
    std::wstring wideName = Widen(name);
    DWORD rawType = 0;
    if (size == nullptr) {
        LONG r =
            RegQueryValueExW(ToHkey(key), wideName.c_str(), nullptr, &rawType, nullptr, nullptr);
        if (r == ERROR_SUCCESS && type != nullptr)
            *type = rawType;
        return ToStatus(r);
    }
    std::string value;
    if (LONG r = ReadValue(ToHkey(key), wideName, &rawType, &value))
        return ToStatus(r);
    if (type != nullptr)
        *type = rawType;
    return CopyData(value, data, size);
}

Status Win32Registry::SetValue(HKey key, std::string_view name, std::uint32_t type,
                               const void* data, std::uint32_t size) {
    if (data == nullptr && size > 0)
        return kErrorNoAccess;
    std::wstring wideName = Widen(name);
    if (IsStringType(type) && size > 0) {
        std::wstring units = Widen(std::string_view(static_cast<const char*>(data), size));
        const auto bytes = static_cast<DWORD>(units.size() * sizeof(wchar_t));
        // The system counts in a terminating zero that directly follows the
        // data; a non-zero unit there keeps the stored size exact.
        units.push_back(L'\x1');
        return ToStatus(RegSetValueExW(ToHkey(key), wideName.c_str(), 0, type,
                                       reinterpret_cast<const BYTE*>(units.data()), bytes));
    }
    return ToStatus(RegSetValueExW(ToHkey(key), wideName.c_str(), 0, type,
                                   static_cast<const BYTE*>(data), size));
}

Status Win32Registry::DeleteValue(HKey key, std::string_view name) {
    return ToStatus(RegDeleteValueW(ToHkey(key), Widen(name).c_str()));
}

Status Win32Registry::DeleteKey(HKey parent, std::string_view subKey) {
    return ToStatus(RegDeleteKeyW(ToHkey(parent), Widen(subKey).c_str()));
}

Status Win32Registry::EnumKey(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                              char* className, std::uint32_t* classSize) {
    if (name == nullptr || nameSize == nullptr)
        return kErrorInvalidParameter;
    const bool wantClass = className != nullptr && classSize != nullptr;
    // Key names hold at most 255 characters; grow anyway if told to.
    std::wstring wideName(256, L'\0');
    std::wstring wideClass(wantClass ? 256 : 0, L'\0');
    LONG r = ERROR_MORE_DATA;
    DWORD nameChars = 0;
    DWORD classChars = 0;
    for (int attempt = 0; attempt < 8 && r == ERROR_MORE_DATA; ++attempt) {
        nameChars = static_cast<DWORD>(wideName.size());
        classChars = static_cast<DWORD>(wideClass.size());
        r = RegEnumKeyExW(ToHkey(key), index, wideName.data(), &nameChars, nullptr,
                          wantClass ? wideClass.data() : nullptr, wantClass ? &classChars : nullptr,
                          nullptr);
        if (r == ERROR_MORE_DATA) {
            wideName.resize(wideName.size() * 2);
            if (wantClass)
                wideClass.resize(std::max<std::size_t>(wideClass.size() * 2, classChars + 1));
        }
    }
    if (r != ERROR_SUCCESS)
        return ToStatus(r);
    if (Status s =
            CopyName(Narrow(std::wstring_view(wideName.data(), nameChars)), name, nameSize)) {
        return s;
    }
    if (wantClass) {
        return CopyName(Narrow(std::wstring_view(wideClass.data(), classChars)), className,
                        classSize);
    }
    return kSuccess;
}

Status Win32Registry::EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                                std::uint32_t* type, void* data, std::uint32_t* dataSize) {
    if (name == nullptr || nameSize == nullptr)
        return kErrorInvalidParameter;
    if (data != nullptr && dataSize == nullptr)
        return kErrorInvalidParameter;
    std::wstring wideName(256, L'\0');
    std::vector<BYTE> raw(256);
    DWORD nameChars = 0;
    DWORD rawSize = 0;
    DWORD rawType = 0;
    LONG r = ERROR_MORE_DATA;
    // Value names hold up to 16383 characters and data can grow meanwhile:
    // grow whichever buffer was short.
    for (int attempt = 0; attempt < 16 && r == ERROR_MORE_DATA; ++attempt) {
        nameChars = static_cast<DWORD>(wideName.size());
        rawSize = static_cast<DWORD>(raw.size());
        r = RegEnumValueW(ToHkey(key), index, wideName.data(), &nameChars, nullptr, &rawType,
                          raw.data(), &rawSize);
        if (r == ERROR_MORE_DATA) {
            if (rawSize > raw.size()) {
                raw.resize(rawSize);
            } else {
                wideName.resize(std::min<std::size_t>(wideName.size() * 4, 32768));
            }
        }
    }
    if (r != ERROR_SUCCESS)
        return ToStatus(r);
    std::string value = IsStringType(rawType)
                            ? NarrowData(raw, rawSize)
                            : std::string(reinterpret_cast<const char*>(raw.data()), rawSize);
    if (type != nullptr)
        *type = rawType;
    if (Status s =
            CopyName(Narrow(std::wstring_view(wideName.data(), nameChars)), name, nameSize)) {
        if (dataSize != nullptr)
            *dataSize = static_cast<std::uint32_t>(value.size());
        return s;
    }
    return CopyData(value, data, dataSize);
}

Status Win32Registry::QueryInfoKey(HKey key, KeyInfo* info) {
    if (info == nullptr)
        return kErrorInvalidParameter;
    DWORD subKeys = 0, maxSubKeyLen = 0, maxClassLen = 0, values = 0, maxValueNameLen = 0,
          maxValueLen = 0;
    LONG r =
        RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLen,
                         &maxClassLen, &values, &maxValueNameLen, &maxValueLen, nullptr, nullptr);
    if (r != ERROR_SUCCESS)
        return ToStatus(r);
    // A UTF-16 unit becomes at most three UTF-8 bytes (a surrogate pair four).
    info->subKeys = subKeys;
    info->maxSubKeyLen = maxSubKeyLen * 3;
    info->maxClassLen = maxClassLen * 3;
    info->values = values;
    info->maxValueNameLen = maxValueNameLen * 3;
    info->maxValueLen = std::max<std::uint32_t>(maxValueLen, (maxValueLen + 1) / 2 * 3);
    return kSuccess;
}

Status Win32Registry::NotifyChangeKeyValue(HKey key, bool watchSubtree, std::uint32_t filter) {
    UniqueKernelHandle changed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueKernelHandle cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!changed || !cancel)
        return ToStatus(GetLastError());
    Waiter waiter{key, cancel.Get()};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiters_.push_back(&waiter);
    }
    LONG r = RegNotifyChangeKeyValue(ToHkey(key), watchSubtree ? TRUE : FALSE, filter,
                                     changed.Get(), TRUE);
    Status result = ToStatus(r);
    if (r == ERROR_SUCCESS) {
        HANDLE events[2] = {changed.Get(), cancel.Get()};
        WaitForMultipleObjects(2, events, FALSE, INFINITE);
        // Closing the handle also signals the change event: the cancel event
        // tells the two apart.
        if (WaitForSingleObject(cancel.Get(), 0) == WAIT_OBJECT_0)
            result = kErrorInvalidHandle;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    waiters_.erase(std::find(waiters_.begin(), waiters_.end(), &waiter));
    return result;
}

Status Win32Registry::ConnectRegistry(std::string_view machine, HKey root, HKey* result) {
    if (result == nullptr)
        return kErrorInvalidParameter;
    HKEY key = nullptr;
    std::wstring wideMachine = Widen(machine);
    LONG r =
        RegConnectRegistryW(machine.empty() ? nullptr : wideMachine.c_str(), ToHkey(root), &key);
    if (r == ERROR_SUCCESS)
        *result = FromHkey(key);
    return ToStatus(r);
}

}  // namespace platform::win32
