#include "activex/KillBits.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/ScopedKey.h"
#include "platform/Text.h"

namespace activex {

namespace {

std::string KeyOf(std::string_view classId) {
    std::string key = kCompatibilityKey;
    key += '\\';
    key.append(classId);
    return key;
}

}  // namespace

bool IsClassIdentifier(std::string_view text) {
    static constexpr std::string_view kShape = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (text.size() != kShape.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool ok = kShape[i] == 'X' ? ::text::HexDigit(text[i]) >= 0 : text[i] == kShape[i];
        if (!ok)
            return false;
    }
    return true;
}

KillBits::KillBits(platform::Registry& registry) : registry_(registry) {
    views_.push_back({platform::kKeyWow64_64Key, "64-bit"});
    if (platform::Has32BitView(registry))
        views_.push_back({platform::kKeyWow64_32Key, "32-bit"});
}

std::optional<std::uint32_t> KillBits::ReadDword(std::string_view classId, const RegistryView& view,
                                                 std::string_view name) const {
    platform::ScopedKey key;
    if (platform::ScopedKey::Open(registry_, platform::kHkeyLocalMachine, KeyOf(classId),
                                  platform::kKeyRead | view.flag, &key) != platform::kSuccess) {
        return std::nullopt;
    }
    std::uint8_t bytes[sizeof(std::uint32_t)] = {};
    std::uint32_t size = sizeof bytes;
    std::uint32_t type = 0;
    if (registry_.QueryValue(key.get(), name, &type, bytes, &size) != platform::kSuccess)
        return std::nullopt;
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, std::min<std::size_t>(size, sizeof value));
    return value;
}

bool KillBits::WriteDword(std::string_view classId, const RegistryView& view, std::string_view name,
                          std::uint32_t value) {
    const std::uint32_t access = platform::kKeyRead | platform::kKeyWrite | view.flag;
    platform::HKey opened = platform::kNullKey;
    if (registry_.CreateKey(platform::kHkeyLocalMachine, KeyOf(classId),
                            platform::kRegOptionNonVolatile, access, &opened,
                            nullptr) != platform::kSuccess) {
        return false;
    }
    platform::ScopedKey key(registry_, opened);
    return registry_.SetValue(key.get(), name, platform::kRegDword, &value, sizeof value) ==
           platform::kSuccess;
}

bool KillBits::IsExceptedIn(std::string_view classId, const RegistryView& view) const {
    return ReadDword(classId, view, kSystemSetValue).value_or(0) == kExempted;
}

bool KillBits::IsExcepted(std::string_view classId) const {
    if (!IsClassIdentifier(classId))
        return false;
    for (const RegistryView& view : views_) {
        if (IsExceptedIn(classId, view))
            return true;
    }
    return false;
}

bool KillBits::SetKillBit(std::string_view classId, bool on) {
    if (!IsClassIdentifier(classId))
        return false;
    bool written = true;
    for (const RegistryView& view : views_) {
        if (on && IsExceptedIn(classId, view))
            continue;
        written = WriteDword(classId, view, kFlagsValue, on ? kKillBit : 0) && written;
    }
    return written;
}

bool KillBits::SetException(std::string_view classId, bool exempt) {
    if (!IsClassIdentifier(classId))
        return false;
    bool written = true;
    for (const RegistryView& view : views_) {
        if (exempt) {
            // The mark only counts once the kill bit is gone.
            written = WriteDword(classId, view, kFlagsValue, 0) &&
                      WriteDword(classId, view, kSystemSetValue, kExempted) && written;
        } else {
            written = WriteDword(classId, view, kSystemSetValue, 0) && written;
        }
    }
    return written;
}

KillBitState KillBits::Read(std::string_view classId, const RegistryView& view) const {
    KillBitState state;
    if (!IsClassIdentifier(classId))
        return state;
    platform::ScopedKey key;
    state.keyExists =
        platform::ScopedKey::Open(registry_, platform::kHkeyLocalMachine, KeyOf(classId),
                                  platform::kKeyRead | view.flag, &key) == platform::kSuccess;
    if (state.keyExists) {
        state.flags = ReadDword(classId, view, kFlagsValue);
        state.systemSet = ReadDword(classId, view, kSystemSetValue);
    }
    return state;
}

}  // namespace activex
