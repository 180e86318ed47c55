#pragma once
// Ctrl+C during a long command: while a guard lives, the key press is handed
// to the command (which polls for it) instead of ending the process, so the
// command can stop its work and put back what it changed.
namespace cli {

class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // True once Ctrl+C (or Ctrl+Break) was pressed while the guard lived.
    bool Interrupted() const;
};

}  // namespace cli
