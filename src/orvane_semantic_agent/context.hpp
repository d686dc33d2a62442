// The process-wide context through which the MCP server finds the catalogue client and the
// warehouse settings.
//
//   Context context{.client = OrvaneClient::from_env(),
//                   .config = cortex::SnowflakeProvisioningConfig::from_env()};
//   {
//     auto scope = with_context(context);  // installed until the scope ends
//     run_server();                        // the lifespan calls get_context()
//   }                                      // back to the state from before, also on a throw
//
// One variable for the whole process. The value belongs to the flow of execution that set it,
// and here that flow is the process's main thread: it installs the context before the server
// starts and restores it after the server has stopped, while no server work runs. Worker threads
// that the server starts in between must see the server's context, so the variable is not
// thread-local: every thread reads the one value, and a mutex makes a read that races a setting
// sound rather than relying on that ordering alone.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "orvane/sdk/main_client.hpp"
#include "orvane_semantic_agent/cortex/cortex.hpp"

namespace orvane_semantic_agent {

// Immutable once created. Two contexts are equal when both name the same client (copies of a
// client share one graph and count as the same client) and equal settings.
struct Context {
  const orvane::sdk::OrvaneClient client;
  const cortex::SnowflakeProvisioningConfig config;

  friend bool operator==(const Context& a, const Context& b);
};

// A variable that holds a `Context` or is unset. Each setting yields a marker of the state from
// before it; resetting with the marker brings back exactly that state, whatever was set in
// between. A marker is used at most once (it is moved into `reset`). Thread-safe.
class ContextVariable {
 public:
  class Token {
   public:
    Token(Token&&) = default;
    Token& operator=(Token&&) = default;
    Token(const Token&) = delete;
    Token& operator=(const Token&) = delete;

   private:
    friend class ContextVariable;
    explicit Token(std::shared_ptr<const Context> previous) : previous_(std::move(previous)) {}
    std::shared_ptr<const Context> previous_;  // null: the variable was unset
  };

  explicit ContextVariable(std::string name) : name_(std::move(name)) {}
  ContextVariable(const ContextVariable&) = delete;
  ContextVariable& operator=(const ContextVariable&) = delete;

  const std::string& name() const { return name_; }
  // The value; throws platform::LookupError naming the variable when it is unset.
  Context get() const;
  Token set(Context value);
  void reset(Token token);

 private:
  std::string name_;
  mutable std::mutex mutex_;
  std::shared_ptr<const Context> value_;
};

// The process's one context variable, named "_semantic_agent_context"; unset at start.
ContextVariable& _semantic_agent_context();

// The installed context. Throws platform::LookupError when none is installed.
Context get_context();

// Installs `context` for good: the marker is dropped, so only the end of an enclosing
// `with_context` scope restores an earlier state.
void set_context(const Context& context);

// Keeps `context` installed while it lives and then restores the state from before, on a normal
// exit and when an exception unwinds (which then goes on unchanged).
class ContextScope {
 public:
  explicit ContextScope(const Context& context);
  ~ContextScope();
  ContextScope(const ContextScope&) = delete;
  ContextScope& operator=(const ContextScope&) = delete;

 private:
  ContextVariable::Token token_;
};

// `auto scope = with_context(context);` installs `context` until `scope` ends.
[[nodiscard]] inline ContextScope with_context(const Context& context) {
  return ContextScope(context);
}

}  // namespace orvane_semantic_agent
