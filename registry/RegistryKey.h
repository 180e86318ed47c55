#pragma once
// The exception-raising registry key wrapper: copies share one open handle
// through a reference count, subkeys and values are enumerated with
// STL-style iterators, and every failing registry call raises
// CRegistryKey::Exception with the Win32 error code and the operation's name.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

// Base of the program's exceptions: where it failed and the Win32 error code.
// The location is a string literal; it is never copied or freed.
class CWin32Exception {
  public:
    CWin32Exception(const char* location, std::uint32_t error) noexcept
        : m_location(location), m_error(error) {}
    CWin32Exception(const CWin32Exception&) = default;
    CWin32Exception& operator=(const CWin32Exception&) = default;
    virtual ~CWin32Exception() = default;

    const char* GetWhere() const noexcept { return m_location; }
    std::uint32_t GetError() const noexcept { return m_error; }

  private:
    const char* m_location;
    std::uint32_t m_error;
};

// The shared owner of one open handle; defined in the .cpp so nothing else
// can close the handle behind the count's back.
class CCountedRegKey;

class CRegistryKey {
  public:
    class Exception : public CWin32Exception {
      public:
        Exception(const char* location, std::uint32_t error) noexcept
            : CWin32Exception(location, error) {}
    };

    // What CreateOrOpenKey found (the values of REG_CREATED_NEW_KEY and
    // REG_OPENED_EXISTING_KEY).
    enum class Disposition : std::uint32_t {
        kCreatedNewKey = 1,
        kOpenedExistingKey = 2,
    };

    // One value with an owned copy of its name and data.
    class Value {
      public:
        // Raised by the accessors when the value's type does not fit.
        class Exception : public CRegistryKey::Exception {
          public:
            Exception() noexcept
                : CRegistryKey::Exception("CRegistryKey::Value::Exception",
                                          platform::kErrorInvalidParameter) {}
        };

        Value(std::string_view name, std::uint32_t type, const void* data, std::uint32_t size);
        Value(std::string_view name, std::uint32_t type, std::vector<std::uint8_t> data);

        const std::string& GetName() const noexcept { return m_name; }
        std::uint32_t GetType() const noexcept { return m_type; }
        std::uint32_t GetSize() const noexcept { return static_cast<std::uint32_t>(m_data.size()); }
        // The raw bytes, whatever the type (for copying a value as it is).
        const std::vector<std::uint8_t>& GetData() const noexcept { return m_data; }

        // REG_SZ, REG_EXPAND_SZ: the text up to the first zero or the end of
        // the data; environment strings stay unexpanded.
        std::string AsString() const;
        // REG_DWORD, REG_DWORD_BIG_ENDIAN: the first 4 bytes as stored (a
        // big-endian value is not swapped). Fewer than 4 bytes raise.
        std::uint32_t AsDWORD() const;
        // REG_BINARY, REG_NONE: the data bytes (GetSize() of them).
        const std::uint8_t* AsBinary() const;

      private:
        std::string m_name;
        std::uint32_t m_type;
        std::vector<std::uint8_t> m_data;
    };

    class SubkeyIterator;
    class ValueIterator;

    // An empty key: every operation on it raises with ERROR_INVALID_HANDLE.
    CRegistryKey() noexcept = default;
    // Opens `subKey` below `root`. With a machine name, `root` is first
    // connected on that machine (a predefined root only).
    CRegistryKey(platform::Registry& registry, platform::HKey root, std::string_view subKey,
                 std::uint32_t access = platform::kKeyAllAccess, std::string_view machine = {});
    // Takes ownership of an open handle (a predefined root or one just
    // created); a null handle gives an empty key.
    CRegistryKey(platform::Registry& registry, platform::HKey key);

    CRegistryKey(const CRegistryKey& other) noexcept;
    CRegistryKey(CRegistryKey&& other) noexcept;
    CRegistryKey& operator=(const CRegistryKey& other) noexcept;
    CRegistryKey& operator=(CRegistryKey&& other) noexcept;
    ~CRegistryKey();

    CRegistryKey OpenKey(std::string_view subKey,
                         std::uint32_t access = platform::kKeyAllAccess) const;
    CRegistryKey CreateOrOpenKey(std::string_view subKey, Disposition* disposition = nullptr,
                                 std::uint32_t options = platform::kRegOptionNonVolatile,
                                 std::uint32_t access = platform::kKeyAllAccess) const;
    // Raises ERROR_ALREADY_EXISTS when the key was there before.
    CRegistryKey CreateKey(std::string_view subKey,
                           std::uint32_t options = platform::kRegOptionNonVolatile,
                           std::uint32_t access = platform::kKeyAllAccess) const;

    // Refuses (ERROR_ACCESS_DENIED) a key that still has subkeys.
    void DeleteKey(std::string_view subKey) const;
    void DeleteKeyAndSubkeys(std::string_view subKey) const;
    void DeleteValue(std::string_view name) const;

    Value QueryValue(std::string_view name) const;
    // Reads a REG_DWORD or REG_DWORD_BIG_ENDIAN value into `value` and
    // returns true; a value of another type is left unread (false).
    bool QueryValue(std::string_view name, std::uint32_t& value) const;
    // `type` must be REG_DWORD or REG_DWORD_BIG_ENDIAN.
    void SetValue(std::string_view name, std::uint32_t value,
                  std::uint32_t type = platform::kRegDword) const;
    void SetValue(const Value& value) const;

    SubkeyIterator BeginSubkeyIteration() const;
    SubkeyIterator EndSubkeyIteration() const;
    ValueIterator BeginValueIteration() const;
    ValueIterator EndValueIteration() const;

    // The raw handle, or kNullKey for an empty key. Still owned by this key.
    platform::HKey GetHandle() const noexcept;
    // Drops this object's reference; the last one closes the handle.
    void Close() noexcept;

  private:
    static CRegistryKey Open(platform::Registry& registry, platform::HKey parent,
                             std::string_view subKey, std::uint32_t access, const char* location);
    CCountedRegKey& Counted(const char* location) const;
    CRegistryKey CreateKeyAt(std::string_view subKey, std::uint32_t options, std::uint32_t access,
                             bool* created, const char* location) const;
    bool HasSubkeys(const char* location) const;

    CCountedRegKey* m_key = nullptr;
};

class CRegistryKey::SubkeyIterator {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = std::string;
    using difference_type = std::ptrdiff_t;
    using pointer = const std::string*;
    using reference = const std::string&;

    // The end iterator.
    SubkeyIterator() = default;

    // The current subkey's name.
    const std::string& operator*() const noexcept { return m_name; }
    const std::string* operator->() const noexcept { return &m_name; }
    const std::string& GetName() const noexcept { return m_name; }
    const std::string& GetClass() const noexcept { return m_class; }

    SubkeyIterator& operator++();
    SubkeyIterator operator++(int);

    // Opens the current subkey of the iterated key.
    CRegistryKey OpenKey(std::uint32_t access = platform::kKeyAllAccess) const;

    // Same key object and index; every end iterator equals every other.
    bool operator==(const SubkeyIterator& other) const noexcept;
    bool operator!=(const SubkeyIterator& other) const noexcept { return !(*this == other); }

  private:
    friend class CRegistryKey;
    explicit SubkeyIterator(const CRegistryKey& key);
    void GetSubkeyInfo();

    CRegistryKey m_key;  // empty for the end iterator
    std::uint32_t m_index = 0;
    std::vector<char> m_nameBuffer;
    std::vector<char> m_classBuffer;
    std::string m_name;
    std::string m_class;
};

class CRegistryKey::ValueIterator {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Value;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Value;

    // The end iterator.
    ValueIterator() = default;

    // The current value: name, type and data.
    Value operator*() const;
    const std::string& GetName() const noexcept { return m_name; }
    std::uint32_t GetType() const noexcept { return m_type; }
    std::uint32_t GetSize() const noexcept { return m_dataSize; }

    ValueIterator& operator++();
    ValueIterator operator++(int);

    // Same key object and index; every end iterator equals every other.
    bool operator==(const ValueIterator& other) const noexcept;
    bool operator!=(const ValueIterator& other) const noexcept { return !(*this == other); }

  private:
    friend class CRegistryKey;
    explicit ValueIterator(const CRegistryKey& key);
    void GetValueInfo();

    CRegistryKey m_key;  // empty for the end iterator
    std::uint32_t m_index = 0;
    std::vector<char> m_nameBuffer;
    std::vector<std::uint8_t> m_dataBuffer;
    std::string m_name;
    std::uint32_t m_type = platform::kRegNone;
    std::uint32_t m_dataSize = 0;
};
