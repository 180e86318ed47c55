#pragma once
// The filter module's work: every process creation in the host process is
// reported to the program first and stopped when the program says so.
#include "platform/win32/Windows.h"

namespace butils {

// How long the module waits for the program. Connecting to a busy queue and
// sending get 3 seconds each; the answer gets 5. Longer only while the
// program shows that it is asking the user (its "asking" event is set): then
// until the user answers, so a known unwanted program is not let through
// because nobody was at the machine. A queue that is absent or breaks (the
// program ended or crashed) lets the launch go at once.
inline constexpr DWORD kConnectTimeoutMs = 3000;
inline constexpr DWORD kAnswerTimeoutMs = 5000;
// How long an allowed child may take to load the module before it runs
// without it.
inline constexpr DWORD kChildLoadTimeoutMs = 5000;

// Hooks process creation of the host process; false when there was nothing
// to hook.
bool InstallLaunchGuard(HMODULE self);
// Takes the hooks out and waits until no call is inside the module any more.
// With `processEnding` the hooks are left: nothing will call them again.
void RemoveLaunchGuard(bool processEnding);

}  // namespace butils
