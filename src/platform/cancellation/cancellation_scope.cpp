#include "platform/cancellation/cancellation_scope.hpp"

#include <algorithm>
#include <thread>

namespace platform {
namespace {

thread_local const CancellationScope* innermost = nullptr;

}  // namespace

CancellationScope::CancellationScope(std::function<bool()> cancelled)
    : cancelled_(std::move(cancelled)), outer_(innermost) {
  innermost = this;
}

CancellationScope::~CancellationScope() { innermost = outer_; }

bool CancellationScope::cancellation_requested() {
  return innermost != nullptr && innermost->cancelled_ && innermost->cancelled_();
}

bool CancellationScope::sleep_unless_cancelled(std::chrono::milliseconds delay) {
  // The predicate is all there is to wait on, so it is asked between short sleeps.
  constexpr std::chrono::milliseconds kStep{10};
  const auto until = std::chrono::steady_clock::now() + delay;
  while (!cancellation_requested()) {
    const auto left = until - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return false;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, kStep));
  }
  return true;
}

}  // namespace platform
