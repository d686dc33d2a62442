// `OrderedSet`: a set that yields its items in first-seen order, without duplicates.
//
//   orvane::utilities::OrderedSet<std::string> tables{"b", "a", "b", "c"};
//   // iterates "b", "a", "c"
//   tables.add("a");  // already present: keeps its first position, returns false
//
// Items need std::hash and operator==. Not thread-safe to change; safe to read from any thread.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <unordered_set>
#include <vector>

namespace orvane::utilities {

template <typename T, typename Hash = std::hash<T>, typename Equal = std::equal_to<T>>
class OrderedSet {
 public:
  using value_type = T;
  using const_iterator = typename std::vector<T>::const_iterator;

  OrderedSet() = default;
  OrderedSet(std::initializer_list<T> items) { add_all(items); }
  template <typename Range>
  explicit OrderedSet(const Range& items) {
    add_all(items);
  }

  // Adds the item unless present; returns whether it was added.
  bool add(const T& item) {
    if (!seen_.insert(item).second) return false;
    items_.push_back(item);
    return true;
  }

  template <typename Range>
  void add_all(const Range& items) {
    for (const auto& item : items) add(item);
  }

  bool contains(const T& item) const { return seen_.contains(item); }
  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }
  // The items in first-seen order.
  const std::vector<T>& items() const { return items_; }

 private:
  std::vector<T> items_;
  std::unordered_set<T, Hash, Equal> seen_;
};

}  // namespace orvane::utilities
