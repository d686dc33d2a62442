// Lets a caller stop the outside requests that its thread waits for.
//
//   platform::CancellationScope scope([&] { return request.cancelled(); });
//   connection.execute(sql);   // aborted on the warehouse soon after cancelled() turns true
//
// While a scope is alive on a thread, the waits of that thread give up once the predicate turns
// true: an HTTP exchange ends with TransportError::kCancelled and is not retried, and a running
// warehouse statement is aborted on the warehouse (SnowflakeError with SQL state 57014, "The
// statement was cancelled"). Scopes nest; the innermost one counts. The predicate is called from
// the scope's own thread only, often, so it must be cheap.
#pragma once

#include <chrono>
#include <functional>

namespace platform {

class CancellationScope {
 public:
  explicit CancellationScope(std::function<bool()> cancelled);
  ~CancellationScope();
  CancellationScope(const CancellationScope&) = delete;
  CancellationScope& operator=(const CancellationScope&) = delete;

  // Whether the innermost scope of the calling thread asks to stop; false without a scope.
  static bool cancellation_requested();
  // Sleeps for `delay`, or less: the wait ends within a few milliseconds once the innermost
  // scope asks to stop. Returns whether it was cut short that way.
  static bool sleep_unless_cancelled(std::chrono::milliseconds delay);

 private:
  std::function<bool()> cancelled_;
  const CancellationScope* outer_;
};

}  // namespace platform
