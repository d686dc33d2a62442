// Settings read from environment variables that share one prefix.
//
// A field `port` read with the prefix "SNOWFLAKE__CONNECTION__" comes from the variable
// SNOWFLAKE__CONNECTION__PORT, its name matched without regard to case (snowflake__connection__port
// works too). Variables with the prefix that name no field are ignored. A variable set to the
// empty text counts as unset.
//
// Every read records its problem instead of throwing, so one `finish()` reports all of them:
//
//   platform::settings::EnvSettings env("Config", "APP__",
//   platform::settings::process_environment()); std::string user = env.required_text("user");
//   std::optional<std::int64_t> port = env.integer("port", 1, 65535);
//   env.finish();  // throws platform::ValidationError listing every problem by variable name
//
// Error texts name variables and never echo a text field's value, so secrets (passwords, keys,
// tokens), which are always text fields, never reach a message. Values of numeric, boolean and
// choice fields are echoed, since they help the reader and hold no secret.
//
// Not thread-safe; one reader belongs to one construction of a settings record.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::settings {

// Environment entries as (name, value) pairs, in the order the process holds them.
using Environment = std::vector<std::pair<std::string, std::string>>;

// A snapshot of the current process environment.
Environment process_environment();

class EnvSettings {
 public:
  // `record_name` opens the error text ("2 validation errors for <record_name>").
  EnvSettings(std::string record_name, std::string prefix, const Environment& environment);

  // The variable name a field is documented under: the prefix and the field name, upper-cased.
  std::string variable(std::string_view field) const;

  std::optional<std::string> text(std::string_view field);
  // The text, or "" with a "Field required" problem when the variable is unset.
  std::string required_text(std::string_view field);
  // A whole number in [min, max].
  std::optional<std::int64_t> integer(std::string_view field, std::int64_t min, std::int64_t max);
  // A number of seconds greater than zero, fractions allowed.
  std::optional<double> positive_seconds(std::string_view field);
  // true/false, 1/0, yes/no, on/off, without regard to case.
  std::optional<bool> boolean(std::string_view field);
  // One of `allowed`, matched without regard to case; returns the allowed spelling.
  std::optional<std::string> choice(std::string_view field,
                                    std::span<const std::string_view> allowed);

  // Records a problem of a field, e.g. one found by a check across several fields.
  void add_problem(std::string_view field, std::string reason);

  // Throws platform::ValidationError when any problem was recorded:
  //   "2 validation errors for Config\nAPP__USER\n  Field required\nAPP__PORT\n  ..."
  void finish() const;

 private:
  const std::string* find(std::string_view field) const;

  std::string record_name_;
  std::string prefix_;
  // Field name in lower case -> value, for the variables that carry the prefix.
  std::vector<std::pair<std::string, std::string>> values_;
  std::vector<std::pair<std::string, std::string>> problems_;  // variable, reason
};

}  // namespace platform::settings
