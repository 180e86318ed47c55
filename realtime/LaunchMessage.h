#pragma once
// The launch query the filter module sends to the program: two zero-terminated
// strings in fixed 261-byte fields, answered by one 4-byte integer. Header
// only, so the filter module can share it without linking the engine.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace realtime {

inline constexpr char kLaunchQueueName[] = "BrindlexRealTimeQueue";
inline constexpr wchar_t kLaunchPipeName[] = L"\\\\.\\pipe\\BrindlexRealTimeQueue";
// Set by the program while it asks the user about a launch: the filter
// module then waits past its usual time-out.
inline constexpr wchar_t kLaunchAskingEventName[] = L"Local\\BrindlexRealTimeQueue.Asking";

inline constexpr std::size_t kLaunchFieldSize = 261;
inline constexpr std::size_t kLaunchTextMax = kLaunchFieldSize - 1;
inline constexpr std::size_t kLaunchMessageSize = 2 * kLaunchFieldSize;
inline constexpr std::size_t kLaunchAnswerSize = 4;
inline constexpr std::int32_t kLaunchBlock = 0;
inline constexpr std::int32_t kLaunchAllow = 1;

using LaunchMessageBytes = std::array<char, kLaunchMessageSize>;

struct LaunchQuery {
    std::string caller;      // who launches (may carry surrounding quotes)
    std::string executable;  // the full path of what is launched
};

// False when a text holds a zero byte or does not fit its field (260 bytes at
// most); `out` is then left zeroed.
inline bool EncodeLaunchMessage(std::string_view caller, std::string_view executable,
                                LaunchMessageBytes* out) {
    out->fill('\0');
    if (caller.size() > kLaunchTextMax || executable.size() > kLaunchTextMax ||
        caller.find('\0') != std::string_view::npos ||
        executable.find('\0') != std::string_view::npos) {
        return false;
    }
    std::memcpy(out->data(), caller.data(), caller.size());
    std::memcpy(out->data() + kLaunchFieldSize, executable.data(), executable.size());
    return true;
}

// The two texts of a message, or nothing when the message is not exactly 522
// bytes or a field has no terminator within its 261 bytes.
inline std::optional<LaunchQuery> DecodeLaunchMessage(const void* data, std::size_t size) {
    if (data == nullptr || size != kLaunchMessageSize)
        return std::nullopt;
    const char* bytes = static_cast<const char*>(data);
    auto field = [](const char* start) -> std::optional<std::string> {
        const void* zero = std::memchr(start, '\0', kLaunchFieldSize);
        if (zero == nullptr)
            return std::nullopt;
        return std::string(start, static_cast<const char*>(zero));
    };
    std::optional<std::string> caller = field(bytes);
    std::optional<std::string> executable = field(bytes + kLaunchFieldSize);
    if (!caller || !executable)
        return std::nullopt;
    return LaunchQuery{std::move(*caller), std::move(*executable)};
}

inline void EncodeLaunchAnswer(std::int32_t answer, void* out) {
    std::memcpy(out, &answer, sizeof answer);
}

// Only a deliberate 0 stops a launch; nothing (a reply of another size) means
// no answer.
inline std::optional<bool> DecodeLaunchAnswer(const void* data, std::size_t size) {
    if (data == nullptr || size != kLaunchAnswerSize)
        return std::nullopt;
    std::int32_t answer = 0;
    std::memcpy(&answer, data, sizeof answer);
    return answer != kLaunchBlock;
}

}  // namespace realtime
