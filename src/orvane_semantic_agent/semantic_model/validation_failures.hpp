// The failures one record build gathers, and the ValidationError made from them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/value/value.hpp"

namespace orvane_semantic_agent::semantic_model::validation {

struct Failure {
  std::string location;  // "tables.0.base_table"; empty at the root
  std::string reason;    // "missing field", "expected text", ...
  std::string value;     // the offending value, shortened
};

class Failures {
 public:
  // Enters a field key or list position for the lifetime of the scope.
  class Scope {
   public:
    Scope(Failures& failures, std::string_view step);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    Failures& failures_;
  };

  void add(std::string reason, std::string value);
  std::size_t count() const { return failures_.size(); }
  const std::vector<Failure>& list() const { return failures_; }

  // Throws platform::ValidationError listing every failure, e.g.
  //   2 validation errors for SemanticModel
  //   tables.0.base_table
  //     missing field [value={'name': 'queries'}]
  //   ...
  [[noreturn]] void raise(std::string_view record_name) const;

 private:
  std::vector<std::string> path_;
  std::vector<Failure> failures_;
};

// A short Python-like text of `value` for failure messages: 'text', 5, None, True, [..], {..};
// cut off with "..." past a bounded length, so a huge value never makes a huge message.
std::string describe(const platform::Value& value);

// `text` cut to the bounded length of `describe` at a UTF-8 character boundary, "..." added when
// anything was cut.
std::string shorten(std::string text);

}  // namespace orvane_semantic_agent::semantic_model::validation
