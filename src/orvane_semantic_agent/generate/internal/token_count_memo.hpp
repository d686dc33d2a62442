// A bounded memo of token counts: the `capacity` texts used most recently keep their count, and
// the least recently used one is dropped when a new text would pass the bound.
//
//   TokenCountMemo memo(100, [](std::string_view text) { return encoding.encode(text).size(); });
//   memo.count("SELECT 1");   // encodes
//   memo.count("SELECT 1");   // from the memo
//
// Thread-safe: the lock is not held while a text is counted, so concurrent callers are not
// held up by each other's long texts (two that count the same new text both count it).
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace orvane_semantic_agent::generate::internal {

class TokenCountMemo {
 public:
  using Counter = std::function<std::size_t(std::string_view)>;

  TokenCountMemo(std::size_t capacity, Counter counter);

  std::size_t count(std::string_view text);
  std::size_t size() const;

 private:
  using Entry = std::pair<std::string, std::size_t>;

  const std::size_t capacity_;
  const Counter counter_;
  mutable std::mutex mutex_;
  std::list<Entry> recent_;  // most recently used first
  // Keys view the texts held in `recent_`, whose nodes never move.
  std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
};

}  // namespace orvane_semantic_agent::generate::internal
