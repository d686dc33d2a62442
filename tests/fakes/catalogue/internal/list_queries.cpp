#include "tests/fakes/catalogue/internal/list_queries.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <limits>

#include "platform/errors/errors.hpp"

namespace orvane::sdk::internal {
namespace {

using platform::Value;

const Value* present(const Value& map, std::string_view key) {
  const Value* value = map.is_map() ? map.find(key) : nullptr;
  return value == nullptr || value->is_null() ? nullptr : value;
}

[[noreturn]] void bad_input(std::string_view problem) {
  throw platform::ValueError(std::string(problem));
}

std::int64_t page_number(const Value& input, std::string_view key, std::int64_t fallback) {
  const Value* value = present(input, key);
  if (value == nullptr) return fallback;
  if (!value->is_int() || value->as_int() < 0) {
    bad_input(fmt::format("\"{}\" must be a non-negative integer", key));
  }
  return value->as_int();
}

const std::string& text_of(const Value* value, std::string_view what) {
  if (value == nullptr || !value->is_string()) bad_input(fmt::format("{} must be a text", what));
  return value->as_string();
}

bool mentions_dataset(const Value& entry, const Value::List& urns) {
  for (const Value& subject : entry.find("subjects")->as_list()) {
    const Value* dataset = present(subject, "dataset");
    const Value* urn = dataset == nullptr ? nullptr : present(*dataset, "urn");
    if (urn != nullptr && std::find(urns.begin(), urns.end(), *urn) != urns.end()) return true;
  }
  return false;
}

bool matches_criterion(const Value& entry, const Value& criterion) {
  const std::string& field = text_of(present(criterion, "field"), "a filter's \"field\"");
  if (field != "entities") bad_input(fmt::format("unsupported filter field \"{}\"", field));
  const Value* values = present(criterion, "values");
  if (values == nullptr || !values->is_list()) bad_input("a filter's \"values\" must be a list");
  return mentions_dataset(entry, values->as_list());
}

bool matches_filters(const Value& entry, const Value* or_filters) {
  if (or_filters == nullptr) return true;
  if (!or_filters->is_list()) bad_input("\"orFilters\" must be a list");
  if (or_filters->as_list().empty()) return true;
  for (const Value& group : or_filters->as_list()) {
    const Value* criteria = present(group, "and");
    if (criteria == nullptr || !criteria->is_list()) {
      bad_input("each of \"orFilters\" needs a list \"and\"");
    }
    const bool all = std::all_of(criteria->as_list().begin(), criteria->as_list().end(),
                                 [&](const Value& c) { return matches_criterion(entry, c); });
    if (all) return true;
  }
  return false;
}

double sort_key(const Value& entry, const std::string& field) {
  const Value* value = present(entry, field);
  if (value != nullptr && value->is_int()) return static_cast<double>(value->as_int());
  if (value != nullptr && value->is_double()) return value->as_double();
  return -std::numeric_limits<double>::infinity();
}

void sort_entries(std::vector<const Value*>& entries, const Value* sort_input) {
  if (sort_input == nullptr) return;
  const Value* criterion = present(*sort_input, "sortCriterion");
  if (criterion == nullptr) bad_input("\"sortInput\" needs \"sortCriterion\"");
  const std::string field = text_of(present(*criterion, "field"), "the sort \"field\"");
  const Value* order = present(*criterion, "sortOrder");
  const std::string direction = order == nullptr ? "ASCENDING" : text_of(order, "\"sortOrder\"");
  if (direction != "ASCENDING" && direction != "DESCENDING") {
    bad_input(fmt::format("unknown \"sortOrder\" \"{}\"", direction));
  }
  const bool descending = direction == "DESCENDING";
  std::stable_sort(entries.begin(), entries.end(), [&](const Value* a, const Value* b) {
    return descending ? sort_key(*a, field) > sort_key(*b, field)
                      : sort_key(*a, field) < sort_key(*b, field);
  });
}

}  // namespace

Value list_queries(const Value::List& queries, const Value& input) {
  const std::int64_t start = page_number(input, "start", 0);
  const std::int64_t count = page_number(input, "count", 20);
  const Value* source = present(input, "source");
  if (source != nullptr) text_of(source, "\"source\"");
  const Value* or_filters = present(input, "orFilters");

  std::vector<const Value*> matching;
  for (const Value& entry : queries) {
    const Value* entry_source = present(entry, "source");
    if (source != nullptr && entry_source != nullptr && *entry_source != *source) continue;
    if (matches_filters(entry, or_filters)) matching.push_back(&entry);
  }
  sort_entries(matching, present(input, "sortInput"));

  Value::List page;
  for (std::size_t i = static_cast<std::size_t>(start);
       i < matching.size() && page.size() < static_cast<std::size_t>(count); ++i) {
    page.push_back(*matching[i]);
  }
  const auto page_size = static_cast<std::int64_t>(page.size());
  return Value::Map{{"start", start},
                    {"count", page_size},
                    {"total", static_cast<std::int64_t>(matching.size())},
                    {"queries", std::move(page)}};
}

}  // namespace orvane::sdk::internal
