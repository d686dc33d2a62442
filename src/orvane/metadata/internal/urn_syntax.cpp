#include "orvane/metadata/internal/urn_syntax.hpp"

#include <fmt/format.h>

#include <cctype>

#include "platform/errors/errors.hpp"

namespace orvane::metadata::internal {
namespace {

constexpr std::string_view kPrefix = "urn:orvane:";
// Keeps an error text readable when someone passes a whole document as a urn.
constexpr std::size_t kMaxQuoted = 300;

bool is_entity_type(std::string_view type) {
  if (type.empty() || !std::isalpha(static_cast<unsigned char>(type.front()))) return false;
  for (char c : type) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::vector<std::string> split_tuple(std::string_view key, std::string_view whole) {
  std::vector<std::string> parts;
  int depth = 0;
  std::size_t part_start = 1;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const char c = key[i];
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth == 0) {
        if (i + 1 != key.size()) fail_urn(whole, "unexpected text after the closing parenthesis");
        parts.emplace_back(key.substr(part_start, i - part_start));
      }
    } else if (c == ',' && depth == 1) {
      parts.emplace_back(key.substr(part_start, i - part_start));
      part_start = i + 1;
    }
  }
  if (depth != 0) fail_urn(whole, "unbalanced parentheses");
  for (const std::string& part : parts) {
    if (part.empty()) fail_urn(whole, "empty part in the key");
  }
  return parts;
}

}  // namespace

void fail_urn(std::string_view whole, std::string_view reason) {
  const std::string quoted = whole.size() > kMaxQuoted
                                 ? std::string(whole.substr(0, kMaxQuoted)) + "..."
                                 : std::string(whole);
  throw platform::ValueError(fmt::format("Invalid urn \"{}\": {}", quoted, reason));
}

UrnSyntax parse_urn_syntax(std::string_view text, std::string_view whole) {
  if (!text.starts_with("urn:")) fail_urn(whole, "it must start with \"urn:orvane:\"");
  if (!text.starts_with(kPrefix)) fail_urn(whole, "the namespace must be \"orvane\"");
  const std::string_view rest = text.substr(kPrefix.size());
  const std::size_t colon = rest.find(':');
  if (colon == std::string_view::npos)
    fail_urn(whole, "missing \":\" and key after the entity type");
  UrnSyntax syntax;
  syntax.entity_type = std::string(rest.substr(0, colon));
  if (!is_entity_type(syntax.entity_type)) {
    fail_urn(whole, "the entity type must be a letter followed by letters and digits");
  }
  const std::string_view key = rest.substr(colon + 1);
  if (key.empty()) fail_urn(whole, "missing key");
  syntax.tuple = key.front() == '(';
  if (syntax.tuple) {
    syntax.raw_parts = split_tuple(key, whole);
  } else {
    syntax.raw_parts.emplace_back(key);
  }
  return syntax;
}

std::string unescape_part(std::string_view raw, std::string_view whole) {
  std::string value;
  value.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '(' || c == ')' || c == ',') {
      fail_urn(whole, fmt::format("unescaped \"{}\" in \"{}\" (write %28, %29 or %2C)", c, raw));
    }
    if (c != '%') {
      value += c;
      continue;
    }
    const std::string_view code = raw.substr(i + 1, 2);
    if (code == "25") {
      value += '%';
    } else if (code == "28") {
      value += '(';
    } else if (code == "29") {
      value += ')';
    } else if (code == "2C") {
      value += ',';
    } else {
      fail_urn(whole,
               fmt::format("unknown escape \"%{}\" (only %25, %28, %29 and %2C exist)", code));
    }
    i += 2;
  }
  return value;
}

void append_escaped_part(std::string& out, std::string_view value) {
  std::size_t run = 0;  // start of the run of characters copied as they are
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char* escaped = nullptr;
    switch (value[i]) {
      case '%':
        escaped = "%25";
        break;
      case '(':
        escaped = "%28";
        break;
      case ')':
        escaped = "%29";
        break;
      case ',':
        escaped = "%2C";
        break;
      default:
        continue;
    }
    out.append(value.substr(run, i - run)).append(escaped);
    run = i + 1;
  }
  out.append(value.substr(run));
}

std::string escape_part(std::string_view value) {
  std::string raw;
  raw.reserve(value.size());
  append_escaped_part(raw, value);
  return raw;
}

std::string join_urn(std::string_view entity_type, const std::vector<std::string>& raw_parts,
                     bool tuple) {
  std::string text = fmt::format("{}{}:", kPrefix, entity_type);
  if (tuple) text += '(';
  for (std::size_t i = 0; i < raw_parts.size(); ++i) {
    if (i > 0) text += ',';
    text += raw_parts[i];
  }
  if (tuple) text += ')';
  return text;
}

}  // namespace orvane::metadata::internal
