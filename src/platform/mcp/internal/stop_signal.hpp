// How the reading thread learns that it must stop while it waits for input: a self-pipe whose
// read end is polled together with the input. Writing to it is async-signal-safe, so the
// SIGINT/SIGTERM handlers do nothing but that.
#pragma once

namespace platform::mcp::internal {

class WakePipe {
 public:
  WakePipe();  // throws std::system_error when no pipe can be made
  ~WakePipe();
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;

  int read_fd() const { return fds_[0]; }
  // Async-signal-safe and never blocks.
  void notify() const;

 private:
  friend class StopSignals;
  int fds_[2];
};

// While alive, SIGINT and SIGTERM notify `pipe` instead of ending the process; the previous
// handlers come back afterwards. One instance at a time per process (std::logic_error else).
class StopSignals {
 public:
  explicit StopSignals(const WakePipe& pipe);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
};

}  // namespace platform::mcp::internal
