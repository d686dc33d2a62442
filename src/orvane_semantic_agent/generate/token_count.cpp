#include "orvane_semantic_agent/generate/internal/token_count_memo.hpp"
#include "orvane_semantic_agent/generate/module_values.hpp"

namespace orvane_semantic_agent::generate {
namespace internal {

TokenCountMemo::TokenCountMemo(std::size_t capacity, Counter counter)
    : capacity_(capacity), counter_(std::move(counter)) {}

std::size_t TokenCountMemo::count(std::string_view text) {
  {
    std::lock_guard lock(mutex_);
    if (const auto found = index_.find(text); found != index_.end()) {
      recent_.splice(recent_.begin(), recent_, found->second);
      return found->second->second;
    }
  }
  const std::size_t tokens = counter_(text);
  std::lock_guard lock(mutex_);
  if (index_.contains(text)) return tokens;  // counted meanwhile by another caller
  recent_.emplace_front(std::string(text), tokens);
  index_.emplace(recent_.front().first, recent_.begin());
  if (recent_.size() > capacity_) {
    index_.erase(recent_.back().first);
    recent_.pop_back();
  }
  return tokens;
}

std::size_t TokenCountMemo::size() const {
  std::lock_guard lock(mutex_);
  return recent_.size();
}

}  // namespace internal

std::size_t _token_count(std::string_view text) {
  static internal::TokenCountMemo memo(
      100, [](std::string_view counted) { return _token_encoding().encode(counted).size(); });
  return memo.count(text);
}

}  // namespace orvane_semantic_agent::generate
