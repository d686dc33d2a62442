#include "platform/cancellation/cancellation_scope.hpp"

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

}  // namespace platform
