// `dump`: a block-style writer that makes the same choices, character for character, as the
// reference YAML library's pure-Python emitter with its default options (indent 2, width 80,
// non-ASCII escaped). Its state (column, whitespace, indention, the indent stack) follows that
// emitter so that line folding and indentation land on the same columns.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/errors/errors.hpp"
#include "platform/yaml/internal/python_text.hpp"
#include "platform/yaml/internal/resolver.hpp"
#include "platform/yaml/internal/utf8.hpp"
#include "platform/yaml/yaml.hpp"

namespace platform::yaml {
namespace {

constexpr int kIndentStep = 2;
constexpr int kWidth = 80;
// A key is written as a simple key when the key plus the "!!str" tag that the reference
// counts (but does not write) stays below this many code points.
constexpr std::size_t kSimpleKeyLimit = 128;
constexpr std::size_t kStrTagLength = 5;
constexpr int kNoIndent = -1;

bool is_break(char32_t c) { return c == '\n' || c == 0x85 || c == 0x2028 || c == 0x2029; }
bool is_whitespace_or_end(char32_t c) {
  return c == 0 || c == ' ' || c == '\t' || c == '\r' || is_break(c);
}

// Which styles a text allows, by the reference's scalar analysis (with non-ASCII escaped,
// every character outside printable ASCII and "\n" counts as special).
struct Analysis {
  bool empty = false;
  bool multiline = false;
  bool allow_plain = true;
  bool allow_single_quoted = true;
  std::size_t length = 0;  // in code points
};

template <typename Text>
Analysis analyze(const Text& text) {
  Analysis a;
  const std::size_t n = text.size();
  a.length = n;
  if (n == 0) {
    a.empty = true;
    return a;
  }
  bool block_indicators = false;
  bool line_breaks = false;
  bool special = false;
  bool leading_space = false, leading_break = false, trailing_space = false, trailing_break = false,
       break_space = false, space_break = false;
  auto at = [&text](std::size_t i) { return static_cast<char32_t>(text[i]); };
  if (n >= 3 && ((at(0) == '-' && at(1) == '-' && at(2) == '-') ||
                 (at(0) == '.' && at(1) == '.' && at(2) == '.'))) {
    block_indicators = true;
  }
  bool preceded_by_whitespace = true;
  bool previous_space = false, previous_break = false;
  for (std::size_t i = 0; i < n; ++i) {
    const char32_t ch = at(i);
    const bool followed_by_whitespace = i + 1 >= n || is_whitespace_or_end(at(i + 1));
    if (i == 0) {
      switch (ch) {
        case '#':
        case ',':
        case '[':
        case ']':
        case '{':
        case '}':
        case '&':
        case '*':
        case '!':
        case '|':
        case '>':
        case '\'':
        case '"':
        case '%':
        case '@':
        case '`':
          block_indicators = true;
          break;
        case '?':
        case ':':
        case '-':
          if (followed_by_whitespace) block_indicators = true;
          break;
        default:
          break;
      }
    } else {
      if (ch == ':' && followed_by_whitespace) block_indicators = true;
      if (ch == '#' && preceded_by_whitespace) block_indicators = true;
    }
    if (is_break(ch)) line_breaks = true;
    if (!(ch == '\n' || (ch >= 0x20 && ch <= 0x7E))) special = true;
    if (ch == ' ') {
      if (i == 0) leading_space = true;
      if (i == n - 1) trailing_space = true;
      if (previous_break) break_space = true;
      previous_space = true, previous_break = false;
    } else if (is_break(ch)) {
      if (i == 0) leading_break = true;
      if (i == n - 1) trailing_break = true;
      if (previous_space) space_break = true;
      previous_space = false, previous_break = true;
    } else {
      previous_space = previous_break = false;
    }
    preceded_by_whitespace = is_whitespace_or_end(ch);
  }
  a.multiline = line_breaks;
  if (leading_space || leading_break || trailing_space || trailing_break || line_breaks ||
      block_indicators) {
    a.allow_plain = false;
  }
  if (break_space || space_break || special) a.allow_plain = a.allow_single_quoted = false;
  return a;
}

enum class Style { kPlain, kSingleQuoted, kDoubleQuoted };

// A scalar ready to write: its text (code points when it is not ASCII) and analysis.
struct Scalar {
  std::string_view ascii;  // the text, when it is ASCII
  std::u32string wide;     // the code points otherwise
  bool is_ascii = true;
  bool implicit_plain = true;  // reads back as the same value when written plain
  Analysis analysis;

  Scalar(std::string_view text, bool resolves_to_itself)
      : ascii(text), implicit_plain(resolves_to_itself) {
    is_ascii = internal::is_ascii(text);
    if (is_ascii) {
      analysis = analyze(ascii);
    } else {
      auto decoded = internal::decode_utf8(text);
      if (!decoded) throw YAMLError("cannot write a text that is not valid UTF-8");
      wide = std::move(*decoded);
      analysis = analyze(wide);
    }
  }
};

class Writer {
 public:
  std::string finish(const Value& root) {
    node(root, Context{.root = true});
    write_indent();  // document end
    if (open_ended_) {
      write_indicator("...", true);
      write_indent();
    }
    return std::move(out_);
  }

 private:
  struct Context {
    bool root = false;
    bool mapping = false;
    bool simple_key = false;
  };

  void node(const Value& value, Context context) {
    root_context_ = context.root;
    mapping_context_ = context.mapping;
    simple_key_context_ = context.simple_key;
    if (value.is_list()) {
      const auto& list = value.as_list();
      if (list.empty()) return empty_collection("[", "]");
      return block_sequence(list);
    }
    if (value.is_map()) {
      const auto& map = value.as_map();
      if (map.empty()) return empty_collection("{", "}");
      return block_mapping(map);
    }
    scalar_node(value);
  }

  void scalar_node(const Value& value) {
    if (value.is_string()) {
      const std::string& text = value.as_string();
      Scalar scalar(text, internal::resolve_plain(text) == internal::ImplicitTag::kStr);
      return write_scalar(scalar);
    }
    const std::string text = non_string_text(value);
    Scalar scalar(text, true);
    write_scalar(scalar);
  }

  static std::string non_string_text(const Value& value) {
    if (value.is_null()) return "null";
    if (value.is_bool()) return value.as_bool() ? "true" : "false";
    if (value.is_int()) return std::to_string(value.as_int());
    if (value.is_big_int()) return value.as_big_int().digits;
    if (value.is_double()) return internal::yaml_float_text(value.as_double());
    if (value.is_date()) return value.as_date().iso();
    std::string text = value.as_datetime().iso();  // Python's isoformat(' ')
    text[10] = ' ';
    return text;
  }

  void write_scalar(const Scalar& scalar) {
    increase_indent(true, false);
    const Analysis& a = scalar.analysis;
    const bool split = !simple_key_context_;
    Style style = Style::kDoubleQuoted;
    if (scalar.implicit_plain && !(simple_key_context_ && (a.empty || a.multiline)) &&
        a.allow_plain) {
      style = Style::kPlain;
    } else if (a.allow_single_quoted && !(simple_key_context_ && a.multiline)) {
      style = Style::kSingleQuoted;
    }
    switch (style) {
      case Style::kPlain:
        write_plain(scalar.ascii, split);
        break;
      case Style::kSingleQuoted:
        write_single_quoted(scalar.ascii, split);
        break;
      case Style::kDoubleQuoted:
        if (scalar.is_ascii) {
          write_double_quoted(std::u32string(scalar.ascii.begin(), scalar.ascii.end()), split);
        } else {
          write_double_quoted(scalar.wide, split);
        }
        break;
    }
    pop_indent();
  }

  void empty_collection(const char* open, const char* close) {
    write_indicator(open, true, true);
    write_indicator(close, false);
  }

  void block_sequence(const Value::List& list) {
    increase_indent(false, mapping_context_ && !indention_);
    for (const Value& item : list) {
      write_indent();
      write_indicator("-", true, false, true);
      node(item, Context{});
    }
    pop_indent();
  }

  void block_mapping(const Value::Map& map) {
    increase_indent(false, false);
    for (const auto& [key, value] : map) {
      write_indent();
      Scalar scalar(key, internal::resolve_plain(key) == internal::ImplicitTag::kStr);
      const Analysis& a = scalar.analysis;
      if (a.length + kStrTagLength < kSimpleKeyLimit && !a.empty && !a.multiline) {
        root_context_ = false, mapping_context_ = true, simple_key_context_ = true;
        write_scalar(scalar);
        write_indicator(":", false);
      } else {
        write_indicator("?", true, false, true);
        root_context_ = false, mapping_context_ = true, simple_key_context_ = false;
        write_scalar(scalar);
        write_indent();
        write_indicator(":", true, false, true);
      }
      node(value, Context{.mapping = true});
    }
    pop_indent();
  }

  void increase_indent(bool flow, bool indentless) {
    indents_.push_back(indent_);
    if (indent_ == kNoIndent) {
      indent_ = flow ? kIndentStep : 0;
    } else if (!indentless) {
      indent_ += kIndentStep;
    }
  }

  void pop_indent() {
    indent_ = indents_.back();
    indents_.pop_back();
  }

  void write_raw(std::string_view data, int width) {
    out_ += data;
    column_ += width;
  }

  void write_indicator(std::string_view indicator, bool need_whitespace, bool whitespace = false,
                       bool indention = false) {
    if (!whitespace_ && need_whitespace) write_raw(" ", 1);
    write_raw(indicator, static_cast<int>(indicator.size()));
    whitespace_ = whitespace;
    indention_ = indention_ && indention;
    open_ended_ = false;
  }

  void write_indent() {
    const int indent = indent_ == kNoIndent ? 0 : indent_;
    if (!indention_ || column_ > indent || (column_ == indent && !whitespace_)) {
      write_line_break();
    }
    if (column_ < indent) {
      whitespace_ = true;
      out_.append(static_cast<std::size_t>(indent - column_), ' ');
      column_ = indent;
    }
  }

  void write_line_break() {
    out_ += '\n';
    whitespace_ = indention_ = true;
    column_ = 0;
  }

  // Plain text is printable ASCII without line breaks (the analysis allows nothing else).
  void write_plain(std::string_view text, bool split) {
    if (root_context_) open_ended_ = true;
    if (text.empty()) return;
    if (!whitespace_) write_raw(" ", 1);
    whitespace_ = indention_ = false;
    bool spaces = false;
    std::size_t start = 0;
    for (std::size_t end = 0; end <= text.size(); ++end) {
      const bool at_end = end == text.size();
      const char ch = at_end ? '\0' : text[end];
      if (spaces) {
        if (ch != ' ') {
          if (start + 1 == end && column_ > kWidth && split) {
            write_indent();
            whitespace_ = indention_ = false;
          } else {
            write_raw(text.substr(start, end - start), static_cast<int>(end - start));
          }
          start = end;
        }
      } else if (at_end || ch == ' ') {
        write_raw(text.substr(start, end - start), static_cast<int>(end - start));
        start = end;
      }
      spaces = !at_end && ch == ' ';
    }
  }

  // Single-quoted text is printable ASCII and "\n" (the analysis allows nothing else).
  void write_single_quoted(std::string_view text, bool split) {
    write_indicator("'", true);
    bool spaces = false, breaks = false;
    std::size_t start = 0;
    for (std::size_t end = 0; end <= text.size(); ++end) {
      const bool at_end = end == text.size();
      const char ch = at_end ? '\0' : text[end];
      if (spaces) {
        if (at_end || ch != ' ') {
          if (start + 1 == end && column_ > kWidth && split && start != 0 && !at_end) {
            write_indent();
          } else {
            write_raw(text.substr(start, end - start), static_cast<int>(end - start));
          }
          start = end;
        }
      } else if (breaks) {
        if (at_end || ch != '\n') {
          if (text[start] == '\n') write_line_break();
          for (std::size_t i = start; i < end; ++i) write_line_break();
          write_indent();
          start = end;
        }
      } else if (at_end || ch == ' ' || ch == '\n' || ch == '\'') {
        if (start < end) {
          write_raw(text.substr(start, end - start), static_cast<int>(end - start));
          start = end;
        }
      }
      if (ch == '\'' && !at_end) {
        write_raw("''", 2);
        start = end + 1;
      }
      if (!at_end) {
        spaces = ch == ' ';
        breaks = ch == '\n';
      }
    }
    write_indicator("'", false);
  }

  static std::string escape(char32_t ch) {
    switch (ch) {
      case 0:
        return "\\0";
      case 0x07:
        return "\\a";
      case 0x08:
        return "\\b";
      case 0x09:
        return "\\t";
      case 0x0A:
        return "\\n";
      case 0x0B:
        return "\\v";
      case 0x0C:
        return "\\f";
      case 0x0D:
        return "\\r";
      case 0x1B:
        return "\\e";
      case '"':
        return "\\\"";
      case '\\':
        return "\\\\";
      case 0x85:
        return "\\N";
      case 0xA0:
        return "\\_";
      case 0x2028:
        return "\\L";
      case 0x2029:
        return "\\P";
      default:
        break;
    }
    char buffer[16];
    const auto code = static_cast<unsigned>(ch);
    if (ch <= 0xFF) {
      std::snprintf(buffer, sizeof buffer, "\\x%02X", code);
    } else if (ch <= 0xFFFF) {
      std::snprintf(buffer, sizeof buffer, "\\u%04X", code);
    } else {
      std::snprintf(buffer, sizeof buffer, "\\U%08X", code);
    }
    return buffer;
  }

  // Writes text[start, end) of code points that are all printable ASCII.
  void write_ascii_run(const std::u32string& text, std::size_t start, std::size_t end) {
    for (std::size_t i = start; i < end; ++i) out_ += static_cast<char>(text[i]);
    column_ += static_cast<int>(end - start);
  }

  // Folds at the first chance past the width with a trailing "\" and escapes a space that
  // would start the next line, exactly where the reference does.
  void write_double_quoted(const std::u32string& text, bool split) {
    write_indicator("\"", true);
    const std::size_t n = text.size();
    std::size_t start = 0;
    for (std::size_t end = 0; end <= n; ++end) {
      const bool at_end = end == n;
      const char32_t ch = at_end ? 0 : text[end];
      if (at_end || ch == '"' || ch == '\\' || ch == 0xFEFF || ch < 0x20 || ch > 0x7E) {
        if (start < end) {
          write_ascii_run(text, start, end);
          start = end;
        }
        if (!at_end) {
          const std::string escaped = escape(ch);
          write_raw(escaped, static_cast<int>(escaped.size()));
          start = end + 1;
        }
      }
      const int pending =
          start < end ? static_cast<int>(end - start) : -static_cast<int>(start - end);
      if (end > 0 && end + 1 < n && (ch == ' ' || start >= end) && column_ + pending > kWidth &&
          split) {
        if (start < end) {
          write_ascii_run(text, start, end);
          start = end;
        }
        write_raw("\\", 1);
        write_indent();
        whitespace_ = indention_ = false;
        if (text[start] == ' ') write_raw("\\", 1);
      }
    }
    write_indicator("\"", false);
  }

  std::string out_;
  std::vector<int> indents_;
  int indent_ = kNoIndent;
  int column_ = 0;
  bool whitespace_ = true;
  bool indention_ = true;
  bool open_ended_ = false;
  bool root_context_ = false;
  bool mapping_context_ = false;
  bool simple_key_context_ = false;
};

}  // namespace

std::string dump(const Value& value) { return Writer().finish(value); }

}  // namespace platform::yaml
