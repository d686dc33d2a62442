#include "platform/mcp/internal/call_pool.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "platform/log/log.hpp"

namespace platform::mcp::internal {

struct CallPool::State {
  std::mutex mutex;
  std::condition_variable wake_worker;
  std::condition_variable job_done;
  std::deque<std::function<void()>> waiting;
  std::size_t running = 0;
  bool stopping = false;
};

CallPool::CallPool(std::size_t threads) : state_(std::make_shared<State>()) {
  threads = std::max<std::size_t>(threads, 1);
  threads_.reserve(threads);
  for (std::size_t index = 0; index < threads; ++index) {
    threads_.emplace_back([state = state_] { work(state); });
  }
}

CallPool::~CallPool() { finish(std::chrono::steady_clock::now()); }

void CallPool::submit(std::function<void()> job) {
  {
    const std::lock_guard lock(state_->mutex);
    if (state_->stopping) throw std::logic_error("the call pool takes no more jobs");
    state_->waiting.push_back(std::move(job));
  }
  state_->wake_worker.notify_one();
}

bool CallPool::wait_until_idle(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(state_->mutex);
  return state_->job_done.wait_until(
      lock, deadline, [&] { return state_->waiting.empty() && state_->running == 0; });
}

std::size_t CallPool::finish(std::chrono::steady_clock::time_point deadline) {
  std::deque<std::function<void()>> dropped;
  std::size_t left = 0;
  {
    std::unique_lock lock(state_->mutex);
    state_->stopping = true;
    state_->wake_worker.notify_all();
    state_->job_done.wait_until(lock, deadline,
                                [&] { return state_->waiting.empty() && state_->running == 0; });
    left = state_->waiting.size() + state_->running;
    dropped.swap(state_->waiting);
  }
  state_->wake_worker.notify_all();
  for (auto& thread : threads_) {
    if (left == 0) {
      thread.join();
    } else {
      thread.detach();
    }
  }
  threads_.clear();
  return left;  // `dropped` goes here, on the caller's thread
}

void CallPool::work(const std::shared_ptr<State>& state) {
  std::unique_lock lock(state->mutex);
  for (;;) {
    state->wake_worker.wait(lock, [&] { return state->stopping || !state->waiting.empty(); });
    if (state->waiting.empty()) return;  // stopping, and nothing is left to run
    std::function<void()> job = std::move(state->waiting.front());
    state->waiting.pop_front();
    ++state->running;
    lock.unlock();
    try {
      job();
    } catch (const std::exception& error) {
      platform::log::error("MCP tool call failed outside its handler: {}", error.what());
    }
    job = nullptr;  // release what the job holds before it counts as done
    lock.lock();
    --state->running;
    state->job_done.notify_all();
  }
}

}  // namespace platform::mcp::internal
