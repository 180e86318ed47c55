#pragma once
// Calls into another process of the same bitness: load or unload a module by a
// thread that starts at LoadLibraryW or FreeLibrary there.
#include <string>

#include "platform/win32/Windows.h"

namespace inject {

// The rights a process handle needs for the calls below.
inline constexpr DWORD kRemoteCallAccess = PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                           PROCESS_VM_OPERATION | PROCESS_VM_WRITE |
                                           PROCESS_VM_READ;

// The base of the module loaded from `path` (compared without case) in the
// process `pid`, or null.
HMODULE FindRemoteModule(DWORD pid, const std::wstring& path);

// Loads `path` into `process` and waits up to `timeoutMs` for LoadLibraryW to
// return. Works on a process created suspended too: its loader starts on the
// new thread. True when the thread ran to its end with a module loaded.
bool RemoteLoadLibrary(HANDLE process, const std::wstring& path, DWORD timeoutMs);
// One FreeLibrary of `module` in `process`.
bool RemoteFreeLibrary(HANDLE process, HMODULE module, DWORD timeoutMs);

// True when `process` runs as the same user and with the same bitness as the
// calling process.
bool IsSameUserAndBitness(HANDLE process);

}  // namespace inject
