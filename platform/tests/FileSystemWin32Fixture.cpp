// The conformance cases against the real file system (under Wine): one fresh
// folder per case below the temporary folder. Delete-at-restart records are
// read from, and cleaned out of, the Session Manager's
// PendingFileRenameOperations value, where MoveFileEx keeps them.

// The interfaces first: <windows.h> would rename their CreateDirectory and
// the like to the ...W forms.
#include "platform/tests/FileSystemFixture.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Processes.h"

#include "platform/win32/Windows.h"

#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace conformance {

namespace {

using platform::win32::Narrow;
using platform::win32::UniqueFind;
using platform::win32::UniqueRegKey;
using platform::win32::Widen;

constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";
// How MoveFileEx writes a path into the value.
constexpr std::string_view kNtPrefix = "\\??\\";

// Source and target of each pending operation; an empty target means delete.
struct PendingOperation {
    std::wstring source;
    std::wstring target;
};

// Reads the REG_MULTI_SZ, retrying when it grows between the size query and
// the read.
bool ReadPendingOperations(HKEY key, std::vector<PendingOperation>* operations) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        DWORD type = 0;
        auto bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LSTATUS status = ::RegQueryValueExW(key, kPendingValue, nullptr, &type,
                                                  reinterpret_cast<BYTE*>(buffer.data()), &bytes);
        if (status == ERROR_MORE_DATA) {
            buffer.resize(bytes / sizeof(wchar_t) + 2);
            continue;
        }
        if (status != ERROR_SUCCESS || type != REG_MULTI_SZ)
            return false;
        const std::size_t count = bytes / sizeof(wchar_t);
        std::size_t at = 0;
        auto nextString = [&]() {
            std::wstring s;
            while (at < count && buffer[at] != L'\0')
                s += buffer[at++];
            ++at;
            return s;
        };
        while (at < count) {
            PendingOperation operation;
            operation.source = nextString();
            if (operation.source.empty())
                break;  // the list's closing terminator
            operation.target = at < count ? nextString() : std::wstring();
            operations->push_back(std::move(operation));
        }
        return true;
    }
}

std::string WithoutNtPrefix(const std::wstring& path) {
    std::string narrow = Narrow(path);
    if (narrow.compare(0, kNtPrefix.size(), kNtPrefix) == 0)
        narrow.erase(0, kNtPrefix.size());
    return narrow;
}

void ForgetPendingBelow(const std::string& folder) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        key.Put()) != ERROR_SUCCESS) {
        return;
    }
    std::vector<PendingOperation> operations;
    if (!ReadPendingOperations(key.Get(), &operations))
        return;
    std::wstring kept;
    bool removed = false;
    for (const PendingOperation& operation : operations) {
        if (text::StartsWithNoCase(WithoutNtPrefix(operation.source), folder + "\\")) {
            removed = true;
            continue;
        }
        kept += operation.source + L'\0' + operation.target + L'\0';
    }
    if (!removed)
        return;
    if (kept.empty()) {
        ::RegDeleteValueW(key.Get(), kPendingValue);
        return;
    }
    kept += L'\0';
    ::RegSetValueExW(key.Get(), kPendingValue, 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(kept.data()),
                     static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    UniqueFind search(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (search) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveTree(path);
            } else {
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(search.Get(), &data));
    }
    search.Reset();
    ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

platform::FileSystem& ConformanceFileSystem() {
    static platform::win32::Win32FileSystem files;
    return files;
}

platform::Processes& ConformanceProcesses() {
    static platform::win32::Win32Processes processes;
    return processes;
}

std::string ConformanceMakeScratchFolder() {
    static int counter = 0;
    const std::string folder = ConformanceFileSystem().TempFolder() + "bx-fs-conformance-" +
                               std::to_string(::GetCurrentProcessId()) + "-" +
                               std::to_string(++counter);
    RemoveTree(Widen(folder));  // left over from a crashed run with the same id
    ::CreateDirectoryW(Widen(folder).c_str(), nullptr);
    return folder;
}

void ConformanceRemoveScratchFolder(const std::string& folder) {
    RemoveTree(Widen(folder));
    ForgetPendingBelow(folder);
}

bool ConformanceDeleteIsPending(std::string_view path) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.Put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    std::vector<PendingOperation> operations;
    if (!ReadPendingOperations(key.Get(), &operations))
        return false;
    for (const PendingOperation& operation : operations) {
        if (operation.target.empty() &&
            text::EqualsNoCase(WithoutNtPrefix(operation.source), path)) {
            return true;
        }
    }
    return false;
}

}  // namespace conformance
