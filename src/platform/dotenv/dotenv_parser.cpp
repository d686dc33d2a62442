#include "platform/dotenv/dotenv_parser.hpp"

#include <map>

namespace platform::dotenv {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }
bool is_space(char c) { return is_blank(c) || c == '\r' || c == '\n'; }

// Where a statement stopped parsing; the statement is then skipped.
struct BadStatement {};

// The text of a double-quoted escape, or nothing when `c` after a backslash is no escape.
std::optional<char> double_quote_escape(char c) {
  switch (c) {
    case '\\':
      return '\\';
    case '\'':
      return '\'';
    case '"':
      return '"';
    case 'a':
      return '\a';
    case 'b':
      return '\b';
    case 'f':
      return '\f';
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    case 'v':
      return '\v';
    default:
      return std::nullopt;
  }
}

class Parser {
 public:
  Parser(std::string_view text, const EnvironmentLookup& environment)
      : text_(text), environment_(environment) {}

  ParsedDotenv parse() {
    while (true) {
      while (!at_end() && is_space(peek())) advance();
      if (at_end()) break;
      const std::size_t start = pos_;
      const int start_line = line_;
      try {
        statement();
      } catch (const BadStatement&) {
        // Only the statement's first line is lost: a quote left open, or closed by a quote of a
        // later line, must not swallow the lines after it.
        pos_ = start;
        line_ = start_line;
        result_.bad_lines.push_back(start_line);
        skip_rest_of_line();
      }
    }
    return std::move(result_);
  }

 private:
  bool at_end() const { return pos_ >= text_.size(); }
  char peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }
  bool at_line_end() const { return at_end() || peek() == '\n' || peek() == '\r'; }
  void advance() {
    // "\r\n", "\n" and a lone "\r" each end one line.
    if (peek() == '\n' || (peek() == '\r' && peek(1) != '\n')) ++line_;
    ++pos_;
  }
  bool skip_blanks() {
    const std::size_t start = pos_;
    while (!at_end() && is_blank(peek())) advance();
    return pos_ != start;
  }
  void skip_rest_of_line() {
    while (!at_line_end()) advance();
    if (peek() == '\r') advance();
    if (peek() == '\n') advance();
  }

  void statement() {
    if (text_.substr(pos_).starts_with("export") && is_blank(peek(6))) {
      pos_ += 6;
      skip_blanks();
    }
    std::optional<std::string> name;
    if (peek() != '#') name = read_name();
    skip_blanks();
    std::optional<std::string> value;
    if (peek() == '=') {
      advance();
      value = read_value(skip_blanks());
    }
    skip_blanks();
    if (peek() == '#') {
      while (!at_line_end()) advance();
    }
    if (!at_line_end()) throw BadStatement();
    // The environment cannot hold a NUL byte.
    if ((name && name->find('\0') != std::string::npos) ||
        (value && value->find('\0') != std::string::npos)) {
      throw BadStatement();
    }
    skip_rest_of_line();
    if (name && value) {
      earlier_[*name] = *value;
      result_.entries.push_back({std::move(*name), std::move(*value)});
    }
  }

  std::string read_name() {
    std::string name;
    if (peek() == '\'') {
      advance();
      while (!at_line_end() && peek() != '\'') {
        name += peek();
        advance();
      }
      if (peek() != '\'') throw BadStatement();
      advance();
    } else {
      while (!at_end() && !is_space(peek()) && peek() != '=' && peek() != '#') {
        name += peek();
        advance();
      }
    }
    // The environment cannot hold a name with "=" or an empty one.
    if (name.empty() || name.find('=') != std::string::npos) throw BadStatement();
    return name;
  }

  // `after_blank`: blanks stood between "=" and the value, so a "#" here starts a comment.
  std::string read_value(bool after_blank) {
    if (peek() == '\'') return read_single_quoted();
    if (peek() == '"') return expand(read_double_quoted());
    std::string value;
    while (!at_line_end()) {
      if (peek() == '#' && (value.empty() ? after_blank : is_blank(value.back()))) break;
      value += peek();
      advance();
    }
    while (!value.empty() && is_blank(value.back())) value.pop_back();
    return expand(value);
  }

  std::string read_single_quoted() {
    advance();
    std::string value;
    while (!at_end() && peek() != '\'') {
      if (peek() == '\\' && (peek(1) == '\'' || peek(1) == '\\')) advance();
      value += peek();
      advance();
    }
    if (at_end()) throw BadStatement();
    advance();
    return value;
  }

  std::string read_double_quoted() {
    advance();
    std::string value;
    while (!at_end() && peek() != '"') {
      if (peek() == '\\' && pos_ + 1 < text_.size()) {
        // A backslash always pairs with the next character, so "\\" before the closing quote
        // does not hide it; an unknown pair stays as written.
        const char next = peek(1);
        advance();
        advance();
        if (const auto escaped = double_quote_escape(next)) {
          value += *escaped;
        } else {
          value += '\\';
          value += next;
        }
        continue;
      }
      value += peek();
      advance();
    }
    if (at_end()) throw BadStatement();
    advance();
    return value;
  }

  std::string expand(const std::string& value) const {
    std::string result;
    std::size_t pos = 0;
    while (pos < value.size()) {
      const std::size_t open = value.find("${", pos);
      const std::size_t close = open == std::string::npos ? open : value.find('}', open + 2);
      if (close == std::string::npos) break;
      result.append(value, pos, open - pos);
      const std::string_view inside = std::string_view(value).substr(open + 2, close - open - 2);
      const std::size_t colon = inside.find(':');
      if (colon != std::string_view::npos && !inside.substr(colon).starts_with(":-")) {
        // Not a ${NAME} or ${NAME:-default} form: kept as written.
        result.append(value, open, close + 1 - open);
      } else {
        const std::string name(inside.substr(0, colon));
        const auto found = lookup(name);
        if (found) {
          result += *found;
        } else if (colon != std::string_view::npos) {
          result += inside.substr(colon + 2);
        }
      }
      pos = close + 1;
    }
    result.append(value, pos);
    return result;
  }

  std::optional<std::string> lookup(const std::string& name) const {
    if (environment_) {
      if (auto value = environment_(name)) return value;
    }
    if (const auto it = earlier_.find(name); it != earlier_.end()) return it->second;
    return std::nullopt;
  }

  std::string_view text_;
  const EnvironmentLookup& environment_;
  std::size_t pos_ = 0;
  int line_ = 1;
  std::map<std::string, std::string> earlier_;
  ParsedDotenv result_;
};

}  // namespace

ParsedDotenv parse_dotenv(std::string_view text, const EnvironmentLookup& environment) {
  // Some editors open a UTF-8 file with a byte order mark; it is no part of the first name.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  return Parser(text, environment).parse();
}

}  // namespace platform::dotenv
