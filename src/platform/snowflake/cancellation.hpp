// Lets a caller stop the statements that its thread waits for.
//
//   platform::snowflake::CancellationScope scope([&] { return request.cancelled(); });
//   connection.execute(sql);   // aborted on the warehouse soon after cancelled() turns true
//
// While a scope is alive on a thread, a statement that the thread runs is polled only as long as
// the predicate stays false; then the statement is aborted on the warehouse and `execute` throws
// SnowflakeError with SQL state 57014, "The statement was cancelled". Scopes nest; the innermost
// one counts. The predicate is called from the scope's own thread only.
#pragma once

#include <functional>

namespace platform::snowflake {

class CancellationScope {
 public:
  explicit CancellationScope(std::function<bool()> cancelled);
  ~CancellationScope();
  CancellationScope(const CancellationScope&) = delete;
  CancellationScope& operator=(const CancellationScope&) = delete;

  // Whether the innermost scope of the calling thread asks to stop; false without a scope.
  static bool cancellation_requested();

 private:
  std::function<bool()> cancelled_;
  const CancellationScope* outer_;
};

}  // namespace platform::snowflake
