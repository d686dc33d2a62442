// A map that yields its entries in insertion order, as the generator's state needs: the
// registered tables, the join groups and the candidate queue are all walked in the order their
// keys first arrived.
//
//   InsertionOrderedMap<DatasetUrn, double> queue;
//   queue[urn] = 100;          // a new key goes to the end
//   queue.erase(urn);          // the others keep their order
//
// Keys need std::hash and operator==. Movable, not copyable: the index holds iterators into the
// entry list, which a copy would still share with the original. Not thread-safe.
#pragma once

#include <cstddef>
#include <iterator>
#include <list>
#include <unordered_map>
#include <utility>

namespace orvane_semantic_agent::generate::internal {

template <typename Key, typename Mapped>
class InsertionOrderedMap {
 public:
  using Entry = std::pair<const Key, Mapped>;
  using const_iterator = typename std::list<Entry>::const_iterator;

  InsertionOrderedMap() = default;
  InsertionOrderedMap(const InsertionOrderedMap&) = delete;
  InsertionOrderedMap& operator=(const InsertionOrderedMap&) = delete;
  // A moved list keeps its nodes, so the moved index still points into it.
  InsertionOrderedMap(InsertionOrderedMap&&) = default;
  InsertionOrderedMap& operator=(InsertionOrderedMap&&) = default;

  // The value of `key`, inserted default-made at the end when the key is new.
  Mapped& operator[](const Key& key) {
    if (const auto found = index_.find(key); found != index_.end()) return found->second->second;
    entries_.emplace_back(key, Mapped{});
    index_.emplace(key, std::prev(entries_.end()));
    return entries_.back().second;
  }

  const Mapped* find(const Key& key) const {
    const auto found = index_.find(key);
    return found == index_.end() ? nullptr : &found->second->second;
  }
  bool contains(const Key& key) const { return index_.contains(key); }

  void erase(const Key& key) {
    const auto found = index_.find(key);
    if (found == index_.end()) return;
    entries_.erase(found->second);
    index_.erase(found);
  }

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }

 private:
  std::list<Entry> entries_;
  std::unordered_map<Key, typename std::list<Entry>::iterator> index_;
};

}  // namespace orvane_semantic_agent::generate::internal
