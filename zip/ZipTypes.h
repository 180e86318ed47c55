#pragma once
// Types shared by the zip reader and writer. Nothing in the module throws;
// every failure comes back as an Error: a code to branch on and a text for logs.
#include <cstdint>
#include <string>
#include <utility>

namespace zip {

enum class ErrorCode {
    kOk = 0,
    kReadFailed,        // the byte source could not deliver the bytes
    kWriteFailed,       // the sink refused the bytes (disk full, caller stopped)
    kNotAnArchive,      // no end-of-central-directory record
    kCorrupt,           // a structure or the compressed data is damaged
    kUnsupported,       // method, encryption or layout this module does not handle
    kPasswordRequired,  // the member is encrypted and no password was given
    kWrongPassword,     // the password check byte does not match
    kCrcMismatch,       // the extracted bytes do not match the stored CRC-32
    kTooLarge,          // over a caller's limit, or needs Zip64 to be written
    kNotFound,          // no such member
    kUnsafeName,        // a member name that could escape a folder
    kInvalidArgument,   // a caller mistake (bad name, writer already finished)
    kDuplicateName,     // a member of that name was already added
};

struct Error {
    ErrorCode code = ErrorCode::kOk;
    std::string message;

    bool Ok() const { return code == ErrorCode::kOk; }
};

inline Error MakeError(ErrorCode code, std::string message) {
    return Error{code, std::move(message)};
}

// Compression methods this module reads and writes; others are listed with
// their number and refused on extraction.
inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflate = 8;

// A member's modification time as local calendar fields. Zip keeps it in MS-DOS
// form: years 1980 to 2107, even seconds.
struct DateTime {
    int year = 1980;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const DateTime&) const = default;
};

}  // namespace zip
