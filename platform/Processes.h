#pragma once
// The running program and other processes.
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// ExitWindowsEx flags.
inline constexpr std::uint32_t kExitWindowsReboot = 0x00000002;
inline constexpr std::uint32_t kExitWindowsForce = 0x00000004;

class Processes {
  public:
    virtual ~Processes() = default;
    // GetModuleFileName of the running executable, as a Windows path; empty on
    // failure.
    virtual std::string ModuleFileName() = 0;
    // Starts `program` with `parameters` through the shell. With `wait` it
    // waits up to 120000 ms for the process to end and returns true; without
    // it the result tells whether the shell could start the program.
    virtual bool RunProgram(std::string_view program, std::string_view parameters, bool wait) {
        (void)program;
        (void)parameters;
        (void)wait;
        return false;
    }

    // FindWindow by class name plus GetWindowThreadProcessId: the process of
    // a top-level window of that class; false when there is none. The
    // defaults stand for a desktop without windows or processes to act on.
    virtual bool FindWindowProcess(std::string_view windowClass, std::uint32_t* processId) {
        (void)windowClass;
        (void)processId;
        return false;
    }
    // OpenProcess with all access rights and TerminateProcess.
    virtual bool TerminateProcess(std::uint32_t processId, std::uint32_t exitCode) {
        (void)processId;
        (void)exitCode;
        return false;
    }
    // ExitWindowsEx, after enabling the shutdown privilege where the system
    // has one; false when the restart could not be started.
    virtual bool ShutDownSystem(std::uint32_t flags, std::uint32_t reason) {
        (void)flags;
        (void)reason;
        return false;
    }
};

}  // namespace platform
