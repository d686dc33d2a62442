// A fixed set of worker threads that run tool calls in the order they came.
//
// `wait_until_idle` waits for every job taken to have run; `finish` stops taking jobs and waits
// until every job taken has run, or until a deadline.
// Workers still busy then are detached: each holds its own share of the pool's state (and
// its job holds whatever the job needs), so nothing they touch is freed under them; they end
// when their job returns.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace platform::mcp::internal {

class CallPool {
 public:
  explicit CallPool(std::size_t threads);  // at least one thread
  ~CallPool();                             // finish() with no wait
  CallPool(const CallPool&) = delete;
  CallPool& operator=(const CallPool&) = delete;

  void submit(std::function<void()> job);

  // True once no job waits or runs; false at `deadline` otherwise.
  bool wait_until_idle(std::chrono::steady_clock::time_point deadline);

  // Returns how many jobs were still running or waiting at `deadline`; the waiting ones are
  // dropped unrun.
  std::size_t finish(std::chrono::steady_clock::time_point deadline);

 private:
  struct State;
  static void work(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_;
  std::vector<std::thread> threads_;
};

}  // namespace platform::mcp::internal
