#pragma once
// Loads a module into the processes of the current user and carries launch
// queries from that module to the program over a named pipe. Windows only.
#include "platform/win32/Windows.h"

namespace inject {

// The target set "every process of this user and bitness that can be opened".
inline constexpr int kAllProcesses = -3;
inline constexpr DWORD kReasonAttach = 1;
inline constexpr DWORD kReasonDetach = 0;

// Called on a library thread, once per message. `answer` has room for
// `answerLength` bytes (at least 4), zeroed before the call; what the callback
// leaves there is sent back.
using QueueCallback = void (*)(const wchar_t* queueName, const void* message, DWORD messageLength,
                               void* answer, DWORD answerLength);

// Initialises (reason kReasonAttach) or finalises (kReasonDetach) the library
// for the program `module`. Finalising closes every queue, so clients waiting
// for an answer see a broken pipe.
void InitializeInjection(HMODULE module, DWORD reason, void* reserved);
void FinalizeInjection(HMODULE module, DWORD reason, void* reserved);

// Serves "\\.\pipe\<queueName>" in message mode, any number of clients at
// once, reachable only by this user's local processes. False when the queue
// cannot be created (for one, when another process already serves it).
bool CreateIpcQueue(const wchar_t* queueName, QueueCallback callback);

// Loads `modulePath` into each process of the selector's set that does not
// have it yet, by a remote thread on LoadLibraryW. The calling process is
// left out. `timeoutMs` bounds the whole pass. True when every process that
// could be opened now has the module.
bool InjectLibraryIntoAllProcesses(int selector, const wchar_t* modulePath, DWORD timeoutMs);
// Unloads it again by remote FreeLibrary until no process of the set holds it.
bool UninjectLibraryFromAllProcesses(int selector, const wchar_t* modulePath, DWORD timeoutMs);

}  // namespace inject
