#include "shields/RegistryText.h"

#include "platform/ScopedKey.h"
#include "platform/Text.h"
#include "registry/RegistryHelper.h"

namespace shields {

using platform::kSuccess;
using platform::ScopedKey;

namespace {

std::string UpToZero(const std::string& bytes, std::uint32_t size) {
    std::string text = bytes.substr(0, size);
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    return text;
}

// The data of one value of an open key, read whole.
bool QueryWhole(platform::Registry& registry, platform::HKey key, std::string_view name,
                std::string* out) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::uint32_t size = 0;
        if (registry.QueryValue(key, name, nullptr, nullptr, &size) != kSuccess)
            return false;
        std::string bytes(size, '\0');
        std::uint32_t got = size;
        const platform::Status status =
            registry.QueryValue(key, name, nullptr, bytes.empty() ? nullptr : bytes.data(), &got);
        if (status == platform::kErrorMoreData)
            continue;  // it grew between the two calls
        if (status != kSuccess)
            return false;
        *out = UpToZero(bytes, got);
        return true;
    }
    return false;
}

}  // namespace

std::string ReadText(platform::Registry& registry, platform::HKey root, std::string_view path,
                     std::string_view name, bool* present) {
    if (present != nullptr)
        *present = false;
    ScopedKey key;
    if (ScopedKey::Open(registry, root, path, platform::kKeyQueryValue, &key) != kSuccess)
        return {};
    std::string text;
    const bool found = QueryWhole(registry, key.get(), name, &text);
    if (present != nullptr)
        *present = found;
    return text;
}

bool WriteText(platform::Registry& registry, platform::HKey root, std::string_view path,
               std::string_view name, std::string_view text) {
    return CRegistryHelper(registry).SetString(root, path, name, text);
}

std::vector<NamedData> ReadValues(platform::Registry& registry, platform::HKey root,
                                  std::string_view path, bool* opened) {
    std::vector<NamedData> values;
    ScopedKey key;
    const bool open = ScopedKey::Open(registry, root, path, platform::kKeyRead, &key) == kSuccess;
    if (opened != nullptr)
        *opened = open;
    if (!open)
        return values;
    platform::KeyInfo info;
    if (registry.QueryInfoKey(key.get(), &info) != kSuccess)
        return values;
    std::string name(info.maxValueNameLen + 1, '\0');
    for (std::uint32_t index = 0; index < info.values; ++index) {
        std::uint32_t nameSize = static_cast<std::uint32_t>(name.size());
        if (registry.EnumValue(key.get(), index, name.data(), &nameSize, nullptr, nullptr,
                               nullptr) != kSuccess)
            continue;  // a value that went away meanwhile
        NamedData value;
        value.name.assign(name.data(), nameSize);
        if (QueryWhole(registry, key.get(), value.name, &value.data))
            values.push_back(std::move(value));
    }
    return values;
}

int DeleteValuesWithData(platform::Registry& registry, platform::HKey root, std::string_view path,
                         std::string_view data, int* failed) {
    std::vector<std::string> names;
    for (const NamedData& value : ReadValues(registry, root, path)) {
        if (text::EqualsNoCase(value.data, data))
            names.push_back(value.name);
    }
    int deleted = 0;
    int refused = 0;
    ScopedKey key;
    if (!names.empty() &&
        ScopedKey::Open(registry, root, path, platform::kKeySetValue, &key) == kSuccess) {
        for (const std::string& name : names) {
            if (registry.DeleteValue(key.get(), name) == kSuccess)
                ++deleted;
            else
                ++refused;
        }
    } else {
        refused = static_cast<int>(names.size());
    }
    if (failed != nullptr)
        *failed = refused;
    return deleted;
}

}  // namespace shields
