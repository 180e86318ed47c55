#include "registry/RegistryKey.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "platform/ScopedKey.h"

using platform::HKey;
using platform::kNullKey;
using platform::Status;

namespace {

constexpr const char* kConnectLocation = "CRegistryKey::CRegistryKey() - RegConnectRegistry";
constexpr const char* kOpenLocation = "CRegistryKey::CRegistryKey(HKEY hKey ...)";
constexpr const char* kNewCountedLocation = "CRegistryKey::NewCCountedRegKey()";
constexpr const char* kCreateOrOpenLocation = "CRegistryKey::CreateOrOpenKey()";
constexpr const char* kCreateLocation = "CRegistryKey::CreateKey()";
constexpr const char* kDeleteKeyLocation = "CRegistryKey::DeleteKey()";
constexpr const char* kDeleteValueLocation = "CRegistryKey::DeleteValue()";
constexpr const char* kQueryValueLocation = "CRegistryKey::QueryValue()";
constexpr const char* kSetValueLocation = "CRegistryKey::SetValue()";
constexpr const char* kSubkeyIteratorLocation = "CRegistryKey::SubkeyIterator::SubkeyIterator()";
constexpr const char* kGetSubkeyInfoLocation = "CRegistryKey::SubkeyIterator::GetSubkeyInfo()";
constexpr const char* kValueIteratorLocation = "CRegistryKey::ValueIterator::ValueIterator()";
constexpr const char* kGetValueInfoLocation = "CRegistryKey::ValueIterator::GetValueInfo()";

// A registry that keeps answering ERROR_MORE_DATA although the longest
// lengths it reports already fit is broken; give up instead of spinning.
constexpr int kMaxRetriesWithoutGrowth = 8;

[[noreturn]] void Raise(const char* location, Status code) {
    throw CRegistryKey::Exception(location, code);
}

std::uint32_t SizeArgument(std::size_t capacity) {
    return static_cast<std::uint32_t>(
        std::min<std::size_t>(capacity, std::numeric_limits<std::uint32_t>::max()));
}

// Makes room for `longest` bytes plus the terminating zero. Returns whether
// the buffer had to be replaced.
template <typename T>
bool EnsureRoom(std::vector<T>& buffer, std::uint32_t longest, const char* location) {
    const std::size_t needed = static_cast<std::size_t>(longest) + 1;
    if (buffer.size() >= needed) {
        return false;
    }
    try {
        buffer.assign(needed, T{});
    } catch (const std::bad_alloc&) {
        Raise(location, platform::kErrorNotEnoughMemory);
    }
    return true;
}

}  // namespace

// Owns one open handle for every CRegistryKey and iterator that shares it.
// Created with a count of 1; the release that brings the count to 0 closes
// the handle and destroys the object. Never copied, so the handle is closed
// exactly once.
class CCountedRegKey {
  public:
    CCountedRegKey(platform::Registry& registry, HKey key) noexcept
        : m_registry(registry), m_key(key) {}
    CCountedRegKey(const CCountedRegKey&) = delete;
    CCountedRegKey& operator=(const CCountedRegKey&) = delete;

    platform::Registry& GetRegistry() const noexcept { return m_registry; }
    HKey GetHandle() const noexcept { return m_key; }

    void AddRef() noexcept { m_count.fetch_add(1, std::memory_order_relaxed); }
    void Release() noexcept {
        if (m_count.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            Close();
            delete this;
        }
    }

  protected:
    virtual ~CCountedRegKey() = default;
    virtual void Close() noexcept { m_registry.CloseKey(m_key); }

  private:
    platform::Registry& m_registry;
    const HKey m_key;
    std::atomic<std::uint32_t> m_count{1};
};

namespace {

// On failure the handle is closed, so the caller never leaks it.
CCountedRegKey* NewCCountedRegKey(platform::Registry& registry, HKey key) {
    auto* counted = new (std::nothrow) CCountedRegKey(registry, key);
    if (counted == nullptr) {
        registry.CloseKey(key);
        Raise(kNewCountedLocation, platform::kErrorNotEnoughMemory);
    }
    return counted;
}

}  // namespace

// --- CRegistryKey::Value ---------------------------------------------------

CRegistryKey::Value::Value(std::string_view name, std::uint32_t type, const void* data,
                           std::uint32_t size)
    : m_name(name), m_type(type) {
    if (data != nullptr && size > 0) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        m_data.assign(bytes, bytes + size);
    }
}

CRegistryKey::Value::Value(std::string_view name, std::uint32_t type,
                           std::vector<std::uint8_t> data)
    : m_name(name), m_type(type), m_data(std::move(data)) {
    // Sizes travel as 32-bit byte counts.
    if (m_data.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw Exception();
    }
}

std::string CRegistryKey::Value::AsString() const {
    if (m_type != platform::kRegSz && m_type != platform::kRegExpandSz) {
        throw Exception();
    }
    // Stored text may lack its terminating zero; never read past the data.
    const auto end = std::find(m_data.begin(), m_data.end(), std::uint8_t{0});
    return std::string(m_data.begin(), end);
}

std::uint32_t CRegistryKey::Value::AsDWORD() const {
    if ((m_type != platform::kRegDword && m_type != platform::kRegDwordBigEndian) ||
        m_data.size() < sizeof(std::uint32_t)) {
        throw Exception();
    }
    std::uint32_t value = 0;
    std::memcpy(&value, m_data.data(), sizeof value);
    return value;
}

const std::uint8_t* CRegistryKey::Value::AsBinary() const {
    if (m_type != platform::kRegBinary && m_type != platform::kRegNone) {
        throw Exception();
    }
    return m_data.data();
}

// --- CRegistryKey ----------------------------------------------------------

CRegistryKey::CRegistryKey(platform::Registry& registry, HKey root, std::string_view subKey,
                           std::uint32_t access, std::string_view machine) {
    HKey parent = root;
    platform::ScopedKey remoteRoot;
    if (!machine.empty()) {
        HKey connected = kNullKey;
        const Status status = registry.ConnectRegistry(machine, root, &connected);
        if (status != platform::kSuccess) {
            Raise(kConnectLocation, status);
        }
        // Only needed until the subkey below it is open.
        remoteRoot = platform::ScopedKey(registry, connected);
        parent = connected;
    }
    *this = Open(registry, parent, subKey, access, kOpenLocation);
}

CRegistryKey::CRegistryKey(platform::Registry& registry, HKey key) {
    if (key != kNullKey) {
        m_key = NewCCountedRegKey(registry, key);
    }
}

CRegistryKey::CRegistryKey(const CRegistryKey& other) noexcept : m_key(other.m_key) {
    if (m_key != nullptr) {
        m_key->AddRef();
    }
}

CRegistryKey::CRegistryKey(CRegistryKey&& other) noexcept
    : m_key(std::exchange(other.m_key, nullptr)) {}

CRegistryKey& CRegistryKey::operator=(const CRegistryKey& other) noexcept {
    // Take the new reference before dropping the old one: with self-assignment
    // both are the same.
    CCountedRegKey* const shared = other.m_key;
    if (shared != nullptr) {
        shared->AddRef();
    }
    Close();
    m_key = shared;
    return *this;
}

CRegistryKey& CRegistryKey::operator=(CRegistryKey&& other) noexcept {
    if (this != &other) {
        Close();
        m_key = std::exchange(other.m_key, nullptr);
    }
    return *this;
}

CRegistryKey::~CRegistryKey() {
    Close();
}

void CRegistryKey::Close() noexcept {
    if (m_key != nullptr) {
        std::exchange(m_key, nullptr)->Release();
    }
}

HKey CRegistryKey::GetHandle() const noexcept {
    return m_key != nullptr ? m_key->GetHandle() : kNullKey;
}

CCountedRegKey& CRegistryKey::Counted(const char* location) const {
    if (m_key == nullptr) {
        Raise(location, platform::kErrorInvalidHandle);
    }
    return *m_key;
}

CRegistryKey CRegistryKey::Open(platform::Registry& registry, HKey parent, std::string_view subKey,
                                std::uint32_t access, const char* location) {
    HKey key = kNullKey;
    const Status status = registry.OpenKey(parent, subKey, access, &key);
    if (status != platform::kSuccess) {
        if (key != kNullKey) {
            registry.CloseKey(key);
        }
        Raise(location, status);
    }
    return CRegistryKey(registry, key);
}

CRegistryKey CRegistryKey::OpenKey(std::string_view subKey, std::uint32_t access) const {
    CCountedRegKey& key = Counted(kOpenLocation);
    return Open(key.GetRegistry(), key.GetHandle(), subKey, access, kOpenLocation);
}

CRegistryKey CRegistryKey::CreateKeyAt(std::string_view subKey, std::uint32_t options,
                                       std::uint32_t access, bool* created,
                                       const char* location) const {
    CCountedRegKey& key = Counted(location);
    HKey result = kNullKey;
    const Status status =
        key.GetRegistry().CreateKey(key.GetHandle(), subKey, options, access, &result, created);
    if (status != platform::kSuccess) {
        if (result != kNullKey) {
            key.GetRegistry().CloseKey(result);
        }
        Raise(location, status);
    }
    return CRegistryKey(key.GetRegistry(), result);
}

CRegistryKey CRegistryKey::CreateOrOpenKey(std::string_view subKey, Disposition* disposition,
                                           std::uint32_t options, std::uint32_t access) const {
    bool created = false;
    CRegistryKey result = CreateKeyAt(subKey, options, access, &created, kCreateOrOpenLocation);
    if (disposition != nullptr) {
        *disposition = created ? Disposition::kCreatedNewKey : Disposition::kOpenedExistingKey;
    }
    return result;
}

CRegistryKey CRegistryKey::CreateKey(std::string_view subKey, std::uint32_t options,
                                     std::uint32_t access) const {
    bool created = false;
    CRegistryKey result = CreateKeyAt(subKey, options, access, &created, kCreateLocation);
    if (!created) {
        result.Close();
        Raise(kCreateLocation, platform::kErrorAlreadyExists);
    }
    return result;
}

bool CRegistryKey::HasSubkeys(const char* location) const {
    CCountedRegKey& key = Counted(location);
    platform::KeyInfo info;
    const Status status = key.GetRegistry().QueryInfoKey(key.GetHandle(), &info);
    if (status != platform::kSuccess) {
        Raise(location, status);
    }
    return info.subKeys > 0;
}

void CRegistryKey::DeleteKey(std::string_view subKey) const {
    CCountedRegKey& key = Counted(kDeleteKeyLocation);
    {
        CRegistryKey victim = Open(key.GetRegistry(), key.GetHandle(), subKey,
                                   platform::kKeyAllAccess, kDeleteKeyLocation);
        // Deleting a key with subkeys would orphan them on old systems and
        // fails on new ones; refuse it the same way everywhere.
        if (victim.HasSubkeys(kDeleteKeyLocation)) {
            Raise(kDeleteKeyLocation, platform::kErrorAccessDenied);
        }
    }
    const Status status = key.GetRegistry().DeleteKey(key.GetHandle(), subKey);
    if (status != platform::kSuccess) {
        Raise(kDeleteKeyLocation, status);
    }
}

void CRegistryKey::DeleteKeyAndSubkeys(std::string_view subKey) const {
    CCountedRegKey& key = Counted(kDeleteKeyLocation);
    {
        CRegistryKey victim = Open(key.GetRegistry(), key.GetHandle(), subKey,
                                   platform::kKeyAllAccess, kDeleteKeyLocation);
        // Indexes shift when a subkey goes, so every deletion starts a fresh
        // enumeration at the first subkey.
        for (;;) {
            std::string first;
            {
                SubkeyIterator it = victim.BeginSubkeyIteration();
                if (it == victim.EndSubkeyIteration()) {
                    break;
                }
                first = *it;
            }
            victim.DeleteKeyAndSubkeys(first);
        }
    }
    DeleteKey(subKey);
}

void CRegistryKey::DeleteValue(std::string_view name) const {
    CCountedRegKey& key = Counted(kDeleteValueLocation);
    const Status status = key.GetRegistry().DeleteValue(key.GetHandle(), name);
    if (status != platform::kSuccess) {
        Raise(kDeleteValueLocation, status);
    }
}

CRegistryKey::Value CRegistryKey::QueryValue(std::string_view name) const {
    CCountedRegKey& key = Counted(kQueryValueLocation);
    platform::Registry& registry = key.GetRegistry();
    std::uint32_t type = platform::kRegNone;
    std::uint32_t size = 0;
    Status status = registry.QueryValue(key.GetHandle(), name, &type, nullptr, &size);
    if (status != platform::kSuccess) {
        Raise(kQueryValueLocation, status);
    }
    std::vector<std::uint8_t> data;
    try {
        data.resize(size);
    } catch (const std::bad_alloc&) {
        Raise(kQueryValueLocation, platform::kErrorNotEnoughMemory);
    }
    std::uint32_t read = size;
    status = registry.QueryValue(key.GetHandle(), name, &type, data.data(), &read);
    if (status != platform::kSuccess) {
        Raise(kQueryValueLocation, status);
    }
    data.resize(std::min(read, size));
    return Value(name, type, std::move(data));
}

bool CRegistryKey::QueryValue(std::string_view name, std::uint32_t& value) const {
    CCountedRegKey& key = Counted(kQueryValueLocation);
    platform::Registry& registry = key.GetRegistry();
    std::uint32_t type = platform::kRegNone;
    std::uint32_t size = 0;
    Status status = registry.QueryValue(key.GetHandle(), name, &type, nullptr, &size);
    if (status != platform::kSuccess) {
        Raise(kQueryValueLocation, status);
    }
    if (type != platform::kRegDword && type != platform::kRegDwordBigEndian) {
        return false;
    }
    // A DWORD of the wrong size is malformed data, not a system failure, so
    // there is no error code to report.
    if (size != sizeof(std::uint32_t)) {
        Raise(kQueryValueLocation, platform::kSuccess);
    }
    std::uint8_t bytes[sizeof(std::uint32_t)] = {};
    std::uint32_t read = sizeof bytes;
    status = registry.QueryValue(key.GetHandle(), name, &type, bytes, &read);
    if (status != platform::kSuccess) {
        Raise(kQueryValueLocation, status);
    }
    if (read != sizeof bytes) {
        Raise(kQueryValueLocation, platform::kSuccess);
    }
    std::memcpy(&value, bytes, sizeof bytes);
    return true;
}

void CRegistryKey::SetValue(std::string_view name, std::uint32_t value, std::uint32_t type) const {
    CCountedRegKey& key = Counted(kSetValueLocation);
    if (type != platform::kRegDword && type != platform::kRegDwordBigEndian) {
        Raise(kSetValueLocation, platform::kErrorInvalidFlags);
    }
    const Status status =
        key.GetRegistry().SetValue(key.GetHandle(), name, type, &value, sizeof value);
    if (status != platform::kSuccess) {
        Raise(kSetValueLocation, status);
    }
}

void CRegistryKey::SetValue(const Value& value) const {
    CCountedRegKey& key = Counted(kSetValueLocation);
    const Status status = key.GetRegistry().SetValue(
        key.GetHandle(), value.GetName(), value.GetType(), value.GetData().data(), value.GetSize());
    if (status != platform::kSuccess) {
        Raise(kSetValueLocation, status);
    }
}

CRegistryKey::SubkeyIterator CRegistryKey::BeginSubkeyIteration() const {
    return SubkeyIterator(*this);
}

CRegistryKey::SubkeyIterator CRegistryKey::EndSubkeyIteration() const {
    return SubkeyIterator();
}

CRegistryKey::ValueIterator CRegistryKey::BeginValueIteration() const {
    return ValueIterator(*this);
}

CRegistryKey::ValueIterator CRegistryKey::EndValueIteration() const {
    return ValueIterator();
}

// --- CRegistryKey::SubkeyIterator ------------------------------------------

CRegistryKey::SubkeyIterator::SubkeyIterator(const CRegistryKey& key) {
    CCountedRegKey& counted = key.Counted(kSubkeyIteratorLocation);
    platform::KeyInfo info;
    const Status status = counted.GetRegistry().QueryInfoKey(counted.GetHandle(), &info);
    if (status != platform::kSuccess) {
        Raise(kSubkeyIteratorLocation, status);
    }
    if (info.subKeys == 0) {
        return;
    }
    EnsureRoom(m_nameBuffer, info.maxSubKeyLen, kSubkeyIteratorLocation);
    EnsureRoom(m_classBuffer, info.maxClassLen, kSubkeyIteratorLocation);
    m_key = key;
    GetSubkeyInfo();
}

namespace {

// Fetches the entry at the current index. On ERROR_MORE_DATA the key is asked
// again for its longest lengths and `grow` enlarges the buffers (false when
// the key has no entries left), then the fetch is repeated. False when the
// enumeration has ended.
template <typename Fetch, typename Grow>
bool FetchEntry(CCountedRegKey& counted, const char* location, Fetch fetch, Grow grow) {
    int retriesWithoutGrowth = 0;
    for (;;) {
        Status status = fetch();
        if (status == platform::kSuccess) {
            return true;
        }
        if (status == platform::kErrorNoMoreItems) {
            return false;
        }
        if (status != platform::kErrorMoreData) {
            Raise(location, status);
        }
        // A longer name (or larger data) appeared since the buffers were sized.
        platform::KeyInfo info;
        status = counted.GetRegistry().QueryInfoKey(counted.GetHandle(), &info);
        if (status != platform::kSuccess) {
            Raise(location, status);
        }
        bool grew = false;
        if (!grow(info, &grew)) {
            return false;
        }
        if (!grew && ++retriesWithoutGrowth > kMaxRetriesWithoutGrowth) {
            Raise(location, platform::kErrorMoreData);
        }
    }
}

}  // namespace

void CRegistryKey::SubkeyIterator::GetSubkeyInfo() {
    CCountedRegKey& counted = m_key.Counted(kGetSubkeyInfoLocation);
    std::uint32_t nameSize = 0;
    std::uint32_t classSize = 0;
    const bool found = FetchEntry(
        counted, kGetSubkeyInfoLocation,
        [&] {
            nameSize = SizeArgument(m_nameBuffer.size());
            classSize = SizeArgument(m_classBuffer.size());
            return counted.GetRegistry().EnumKey(counted.GetHandle(), m_index, m_nameBuffer.data(),
                                                 &nameSize, m_classBuffer.data(), &classSize);
        },
        [&](const platform::KeyInfo& info, bool* grew) {
            if (info.subKeys == 0) {
                return false;
            }
            const bool nameGrew =
                EnsureRoom(m_nameBuffer, info.maxSubKeyLen, kGetSubkeyInfoLocation);
            const bool classGrew =
                EnsureRoom(m_classBuffer, info.maxClassLen, kGetSubkeyInfoLocation);
            *grew = nameGrew || classGrew;
            return true;
        });
    if (found) {
        m_name.assign(m_nameBuffer.data(), std::min<std::size_t>(nameSize, m_nameBuffer.size()));
        m_class.assign(m_classBuffer.data(),
                       std::min<std::size_t>(classSize, m_classBuffer.size()));
        return;
    }
    m_key.Close();
    m_name.clear();
    m_class.clear();
}

CRegistryKey::SubkeyIterator& CRegistryKey::SubkeyIterator::operator++() {
    if (m_key.m_key != nullptr) {
        ++m_index;
        GetSubkeyInfo();
    }
    return *this;
}

CRegistryKey::SubkeyIterator CRegistryKey::SubkeyIterator::operator++(int) {
    SubkeyIterator previous = *this;
    ++*this;
    return previous;
}

CRegistryKey CRegistryKey::SubkeyIterator::OpenKey(std::uint32_t access) const {
    return m_key.OpenKey(m_name, access);
}

bool CRegistryKey::SubkeyIterator::operator==(const SubkeyIterator& other) const noexcept {
    if (m_key.m_key == nullptr || other.m_key.m_key == nullptr) {
        return m_key.m_key == other.m_key.m_key;
    }
    return m_key.m_key == other.m_key.m_key && m_index == other.m_index;
}

// --- CRegistryKey::ValueIterator -------------------------------------------

CRegistryKey::ValueIterator::ValueIterator(const CRegistryKey& key) {
    CCountedRegKey& counted = key.Counted(kValueIteratorLocation);
    platform::KeyInfo info;
    const Status status = counted.GetRegistry().QueryInfoKey(counted.GetHandle(), &info);
    if (status != platform::kSuccess) {
        Raise(kValueIteratorLocation, status);
    }
    if (info.values == 0) {
        return;
    }
    EnsureRoom(m_nameBuffer, info.maxValueNameLen, kValueIteratorLocation);
    EnsureRoom(m_dataBuffer, info.maxValueLen, kValueIteratorLocation);
    m_key = key;
    GetValueInfo();
}

void CRegistryKey::ValueIterator::GetValueInfo() {
    CCountedRegKey& counted = m_key.Counted(kGetValueInfoLocation);
    std::uint32_t nameSize = 0;
    std::uint32_t dataSize = 0;
    std::uint32_t type = platform::kRegNone;
    const bool found = FetchEntry(
        counted, kGetValueInfoLocation,
        [&] {
            nameSize = SizeArgument(m_nameBuffer.size());
            dataSize = SizeArgument(m_dataBuffer.size());
            type = platform::kRegNone;
            return counted.GetRegistry().EnumValue(counted.GetHandle(), m_index,
                                                   m_nameBuffer.data(), &nameSize, &type,
                                                   m_dataBuffer.data(), &dataSize);
        },
        [&](const platform::KeyInfo& info, bool* grew) {
            if (info.values == 0) {
                return false;
            }
            const bool nameGrew =
                EnsureRoom(m_nameBuffer, info.maxValueNameLen, kGetValueInfoLocation);
            const bool dataGrew = EnsureRoom(m_dataBuffer, info.maxValueLen, kGetValueInfoLocation);
            *grew = nameGrew || dataGrew;
            return true;
        });
    if (found) {
        m_name.assign(m_nameBuffer.data(), std::min<std::size_t>(nameSize, m_nameBuffer.size()));
        m_type = type;
        m_dataSize = SizeArgument(std::min<std::size_t>(dataSize, m_dataBuffer.size()));
        return;
    }
    m_key.Close();
    m_name.clear();
    m_type = platform::kRegNone;
    m_dataSize = 0;
}

CRegistryKey::Value CRegistryKey::ValueIterator::operator*() const {
    return Value(m_name, m_type, m_dataBuffer.data(), m_dataSize);
}

CRegistryKey::ValueIterator& CRegistryKey::ValueIterator::operator++() {
    if (m_key.m_key != nullptr) {
        ++m_index;
        GetValueInfo();
    }
    return *this;
}

CRegistryKey::ValueIterator CRegistryKey::ValueIterator::operator++(int) {
    ValueIterator previous = *this;
    ++*this;
    return previous;
}

bool CRegistryKey::ValueIterator::operator==(const ValueIterator& other) const noexcept {
    if (m_key.m_key == nullptr || other.m_key.m_key == nullptr) {
        return m_key.m_key == other.m_key.m_key;
    }
    return m_key.m_key == other.m_key.m_key && m_index == other.m_index;
}
