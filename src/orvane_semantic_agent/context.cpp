#include "orvane_semantic_agent/context.hpp"

#include "platform/errors/errors.hpp"

namespace orvane_semantic_agent {

bool operator==(const Context& a, const Context& b) {
  return &a.client._graph() == &b.client._graph() && a.config == b.config;
}

Context ContextVariable::get() const {
  std::shared_ptr<const Context> value;
  {
    std::lock_guard lock(mutex_);
    value = value_;
  }
  // Python's form of the message: the variable's repr.
  if (!value) throw platform::LookupError("<ContextVar name='" + name_ + "'>");
  return *value;
}

ContextVariable::Token ContextVariable::set(Context value) {
  auto fresh = std::make_shared<const Context>(std::move(value));
  std::lock_guard lock(mutex_);
  Token token(std::move(value_));
  value_ = std::move(fresh);
  return token;
}

void ContextVariable::reset(Token token) {
  std::lock_guard lock(mutex_);
  value_ = std::move(token.previous_);
}

ContextVariable& _semantic_agent_context() {
  static ContextVariable variable("_semantic_agent_context");
  return variable;
}

Context get_context() { return _semantic_agent_context().get(); }

void set_context(const Context& context) { _semantic_agent_context().set(context); }

ContextScope::ContextScope(const Context& context)
    : token_(_semantic_agent_context().set(context)) {}

ContextScope::~ContextScope() { _semantic_agent_context().reset(std::move(token_)); }

}  // namespace orvane_semantic_agent
