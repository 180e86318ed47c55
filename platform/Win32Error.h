#pragma once
// Win32 error codes the logic relies on, as plain numbers so portable code can
// compare results from either platform implementation.
#include <cstdint>

namespace platform {

using Status = std::uint32_t;

inline constexpr Status kSuccess = 0;
inline constexpr Status kErrorFileNotFound = 2;
inline constexpr Status kErrorPathNotFound = 3;
inline constexpr Status kErrorAccessDenied = 5;
inline constexpr Status kErrorInvalidHandle = 6;
inline constexpr Status kErrorNotEnoughMemory = 8;
inline constexpr Status kErrorNotSameDevice = 17;
inline constexpr Status kErrorNoMoreFiles = 18;
inline constexpr Status kErrorSharingViolation = 32;
inline constexpr Status kErrorNotSupported = 50;
inline constexpr Status kErrorFileExists = 80;
inline constexpr Status kErrorInvalidParameter = 87;
inline constexpr Status kErrorDiskFull = 112;
inline constexpr Status kErrorInvalidName = 123;
inline constexpr Status kErrorDirNotEmpty = 145;
inline constexpr Status kErrorBadPathname = 161;
inline constexpr Status kErrorAlreadyExists = 183;
inline constexpr Status kErrorMoreData = 234;
inline constexpr Status kErrorNoMoreItems = 259;
inline constexpr Status kErrorDirectory = 267;
inline constexpr Status kErrorNoAccess = 998;
inline constexpr Status kErrorInvalidFlags = 1004;
inline constexpr Status kErrorBadKey = 1010;
inline constexpr Status kErrorKeyDeleted = 1018;
inline constexpr Status kErrorChildMustBeVolatile = 1021;

}  // namespace platform
