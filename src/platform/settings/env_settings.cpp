#include "platform/settings/env_settings.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "platform/errors/errors.hpp"
#include "platform/text/ascii_case.hpp"
#include "platform/text/trim.hpp"

extern char** environ;

namespace platform::settings {

using platform::text::to_ascii_lower;
using platform::text::to_ascii_upper;
using platform::text::trim;

Environment process_environment() {
  Environment environment;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    environment.emplace_back(std::string(text.substr(0, equals)),
                             std::string(text.substr(equals + 1)));
  }
  return environment;
}

EnvSettings::EnvSettings(std::string record_name, std::string prefix,
                         const Environment& environment)
    : record_name_(std::move(record_name)), prefix_(std::move(prefix)) {
  const std::string lower_prefix = to_ascii_lower(prefix_);
  for (const auto& [name, value] : environment) {
    const std::string lower_name = to_ascii_lower(name);
    if (!lower_name.starts_with(lower_prefix) || value.empty()) continue;
    std::string field = lower_name.substr(lower_prefix.size());
    const auto existing = std::find_if(values_.begin(), values_.end(),
                                       [&](const auto& entry) { return entry.first == field; });
    if (existing == values_.end()) {
      values_.emplace_back(std::move(field), value);
    } else if (existing->second != value) {
      // Two spellings of one name with different values: picking either would be a guess.
      add_problem(field, "Set more than once (names differing only in case) with different values");
    }
  }
}

std::string EnvSettings::variable(std::string_view field) const {
  return to_ascii_upper(prefix_ + std::string(field));
}

const std::string* EnvSettings::find(std::string_view field) const {
  const std::string key = to_ascii_lower(field);
  for (const auto& [name, value] : values_) {
    if (name == key) return &value;
  }
  return nullptr;
}

std::optional<std::string> EnvSettings::text(std::string_view field) {
  if (const std::string* value = find(field)) return *value;
  return std::nullopt;
}

std::string EnvSettings::required_text(std::string_view field) {
  if (const std::string* value = find(field)) return *value;
  add_problem(field, "Field required");
  return {};
}

std::optional<std::int64_t> EnvSettings::integer(std::string_view field, std::int64_t min,
                                                 std::int64_t max) {
  const std::string* value = find(field);
  if (value == nullptr) return std::nullopt;
  const std::string_view text = trim(*value);
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    add_problem(field, "Input should be a valid integer, got '" + *value + "'");
    return std::nullopt;
  }
  if (number < min || number > max) {
    add_problem(field, "Input should be between " + std::to_string(min) + " and " +
                           std::to_string(max) + ", got " + std::to_string(number));
    return std::nullopt;
  }
  return number;
}

std::optional<double> EnvSettings::positive_seconds(std::string_view field) {
  const std::string* value = find(field);
  if (value == nullptr) return std::nullopt;
  const std::string_view text = trim(*value);
  double seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size() || text.empty() ||
      !std::isfinite(seconds) || seconds <= 0) {
    add_problem(field, "Input should be a number of seconds greater than 0, got '" + *value + "'");
    return std::nullopt;
  }
  return seconds;
}

std::optional<bool> EnvSettings::boolean(std::string_view field) {
  const std::string* value = find(field);
  if (value == nullptr) return std::nullopt;
  const std::string word = to_ascii_lower(trim(*value));
  if (word == "true" || word == "1" || word == "yes" || word == "on") return true;
  if (word == "false" || word == "0" || word == "no" || word == "off") return false;
  add_problem(field, "Input should be a valid boolean, got '" + *value + "'");
  return std::nullopt;
}

std::optional<std::string> EnvSettings::choice(std::string_view field,
                                               std::span<const std::string_view> allowed) {
  const std::string* value = find(field);
  if (value == nullptr) return std::nullopt;
  const std::string word = to_ascii_lower(trim(*value));
  std::string listing;
  for (const std::string_view option : allowed) {
    if (to_ascii_lower(option) == word) return std::string(option);
    listing += listing.empty() ? "'" : ", '";
    listing += std::string(option) + "'";
  }
  add_problem(field, "Input should be one of " + listing + ", got '" + *value + "'");
  return std::nullopt;
}

void EnvSettings::add_problem(std::string_view field, std::string reason) {
  problems_.emplace_back(variable(field), std::move(reason));
}

void EnvSettings::finish() const {
  if (problems_.empty()) return;
  std::string message =
      std::to_string(problems_.size()) +
      (problems_.size() == 1 ? " validation error for " : " validation errors for ") + record_name_;
  for (const auto& [variable_name, reason] : problems_) {
    message += "\n" + variable_name + "\n  " + reason;
  }
  throw ValidationError(message);
}

}  // namespace platform::settings
