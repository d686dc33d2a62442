#include "orvane/sql_parsing/internal/tokenizer.hpp"

#include <array>
#include <cstdint>
#include <cstdio>

#include "orvane/sql_parsing/internal/syntax_error.hpp"

namespace orvane::sql_parsing::internal {
namespace {

constexpr std::size_t kMaxSqlBytes = std::size_t{1} << 30;

enum CharClass : unsigned char { kWordStart = 1, kWordChar = 2, kDigit = 4, kSpace = 8 };

// Every byte is classified once per token character, so by table.
constexpr std::array<unsigned char, 256> kCharClasses = [] {
  std::array<unsigned char, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
    bool digit = c >= '0' && c <= '9';
    classes[c] =
        static_cast<unsigned char>((start ? kWordStart | kWordChar : 0) |
                                   (digit ? kDigit | kWordChar : 0) | (c == '$' ? kWordChar : 0));
  }
  for (char c : {' ', '\t', '\n', '\r', '\f', '\v'})
    classes[static_cast<unsigned char>(c)] = kSpace;
  return classes;
}();

bool is_word_start(unsigned char c) { return kCharClasses[c] & kWordStart; }
bool is_digit(unsigned char c) { return kCharClasses[c] & kDigit; }
bool is_space(unsigned char c) { return kCharClasses[c] & kSpace; }

std::string unexpected_character(unsigned char c) {
  if (c >= 0x20 && c < 0x7f)
    return std::string("unexpected character '") + static_cast<char>(c) + "'";
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02x", c);
  return std::string("unexpected byte ") + hex;
}

class Tokenizer {
 public:
  Tokenizer(std::string_view sql, std::vector<Token>& tokens) : sql_(sql), tokens_(tokens) {}

  void run() {
    if (sql_.size() > kMaxSqlBytes) throw SqlSyntaxError("SQL text is longer than 1 GiB");
    tokens_.clear();
    tokens_.reserve(sql_.size() / 4 + 2);
    while (skip_space_and_comments()) next_token();
    tokens_.push_back(Token{TokenKind::kEnd, Punct::kNone, Keyword::kNone, offset(), offset()});
  }

 private:
  std::uint32_t offset() const { return static_cast<std::uint32_t>(pos_); }
  unsigned char at(std::size_t i) const { return i < sql_.size() ? byte(i) : '\0'; }
  unsigned char byte(std::size_t i) const { return static_cast<unsigned char>(sql_[i]); }

  // The offset of the first byte from `from` on that is not of `char_class`. The hot loop of the
  // tokenizer: it runs on locals, not on members.
  std::size_t skip_while(std::size_t from, unsigned char char_class) const {
    const char* p = sql_.data() + from;
    const char* end = sql_.data() + sql_.size();
    while (p < end && (kCharClasses[static_cast<unsigned char>(*p)] & char_class)) ++p;
    return static_cast<std::size_t>(p - sql_.data());
  }

  // Returns false at the end of the text.
  bool skip_space_and_comments() {
    for (;;) {
      pos_ = skip_while(pos_, kSpace);
      if (pos_ >= sql_.size()) return false;
      unsigned char c = at(pos_);
      if ((c == '-' && at(pos_ + 1) == '-') || (c == '/' && at(pos_ + 1) == '/')) {
        std::size_t newline = sql_.find('\n', pos_);
        pos_ = newline == std::string_view::npos ? sql_.size() : newline + 1;
      } else if (c == '/' && at(pos_ + 1) == '*') {
        std::size_t close = sql_.find("*/", pos_ + 2);
        if (close == std::string_view::npos) fail(pos_, "unterminated comment");
        pos_ = close + 2;
      } else {
        return true;
      }
    }
  }

  [[noreturn]] void fail(std::size_t at_offset, const std::string& what) const {
    throw_syntax_error(sql_, static_cast<std::uint32_t>(at_offset), what);
  }

  void push(TokenKind kind, std::size_t begin, Punct punct = Punct::kNone) {
    Token token{kind, punct, Keyword::kNone, static_cast<std::uint32_t>(begin), offset()};
    if (kind == TokenKind::kWord) token.keyword = keyword_of({sql_.data() + begin, pos_ - begin});
    tokens_.push_back(token);
  }

  // Scans past a quoted run that starts at pos_ with `quote`; a doubled quote stays inside, and
  // so does a backslash-escaped character when `backslash` is set.
  void scan_quoted(char quote, bool backslash, const char* what) {
    std::size_t begin = pos_++;
    for (;;) {
      if (pos_ >= sql_.size()) fail(begin, std::string("unterminated ") + what);
      char c = sql_[pos_++];
      if (backslash && c == '\\') {
        ++pos_;
      } else if (c == quote) {
        if (at(pos_) != static_cast<unsigned char>(quote)) return;
        ++pos_;
      }
    }
  }

  void scan_number() {
    while (is_digit(at(pos_))) ++pos_;
    if (at(pos_) == '.' && is_digit(at(pos_ + 1))) {
      ++pos_;
      while (is_digit(at(pos_))) ++pos_;
    } else if (at(pos_) == '.' && !is_word_start(at(pos_ + 1))) {
      ++pos_;  // "1." is a number
    }
    if ((at(pos_) == 'e' || at(pos_) == 'E') &&
        (is_digit(at(pos_ + 1)) ||
         ((at(pos_ + 1) == '+' || at(pos_ + 1) == '-') && is_digit(at(pos_ + 2))))) {
      pos_ += 2;
      while (is_digit(at(pos_))) ++pos_;
    }
  }

  void next_token() {
    std::size_t begin = pos_;
    unsigned char c = at(pos_);
    if ((c == 'x' || c == 'X') && at(pos_ + 1) == '\'') {
      ++pos_;
      scan_quoted('\'', false, "string");
      return push(TokenKind::kString, begin);
    }
    if (is_word_start(c)) {
      pos_ = skip_while(pos_ + 1, kWordChar);
      return push(TokenKind::kWord, begin);
    }
    if (is_digit(c) || (c == '.' && is_digit(at(pos_ + 1)))) {
      scan_number();
      return push(TokenKind::kNumber, begin);
    }
    switch (c) {
      case '"':
        scan_quoted('"', false, "quoted identifier");
        return push(TokenKind::kQuotedIdent, begin);
      case '\'':
        scan_quoted('\'', true, "string");
        return push(TokenKind::kString, begin);
      case '$':
        if (at(pos_ + 1) == '$') {
          std::size_t close = sql_.find("$$", pos_ + 2);
          if (close == std::string_view::npos) fail(begin, "unterminated $$ string");
          pos_ = close + 2;
          return push(TokenKind::kString, begin);
        }
        ++pos_;
        pos_ = skip_while(pos_, kWordChar);
        return push(TokenKind::kVariable, begin);
      case '@':
        // A stage reference runs to the next space or delimiter: @db.sch.stage/path/file.csv.gz
        ++pos_;
        while (pos_ < sql_.size()) {
          unsigned char s = at(pos_);
          if (is_space(s) || s == '(' || s == ')' || s == ',' || s == ';') break;
          if (s == '"') {
            scan_quoted('"', false, "quoted identifier");
          } else {
            ++pos_;
          }
        }
        return push(TokenKind::kStage, begin);
      default:
        break;
    }
    ++pos_;
    Punct punct = Punct::kOperator;
    switch (c) {
      case '(':
        punct = Punct::kLParen;
        break;
      case ')':
        punct = Punct::kRParen;
        break;
      case ',':
        punct = Punct::kComma;
        break;
      case ';':
        punct = Punct::kSemicolon;
        break;
      case '.':
        punct = Punct::kDot;
        break;
      case '[':
        punct = Punct::kLBracket;
        break;
      case ']':
        punct = Punct::kRBracket;
        break;
      case '{':
        punct = Punct::kLBrace;
        break;
      case '}':
        punct = Punct::kRBrace;
        break;
      case '*':
        punct = Punct::kStar;
        break;
      case '?':
        punct = Punct::kQuestion;
        break;
      case ':':
        if (at(pos_) == ':') {
          ++pos_;
          punct = Punct::kDoubleColon;
        } else {
          punct = Punct::kColon;
        }
        break;
      case '=':
        if (at(pos_) == '>') {
          ++pos_;
          punct = Punct::kFatArrow;
        } else if (at(pos_) == '=') {
          ++pos_;
        }
        break;
      case '<':
        if (at(pos_) == '=' || at(pos_) == '>') ++pos_;
        break;
      case '>':
      case '!':
        if (at(pos_) == '=') ++pos_;
        break;
      case '|':
        if (at(pos_) == '|') ++pos_;
        break;
      case '-':
        if (at(pos_) == '>') ++pos_;
        break;
      case '+':
      case '/':
      case '%':
      case '&':
      case '^':
      case '~':
      case '#':
        break;
      default:
        fail(begin, unexpected_character(c));
    }
    push(TokenKind::kPunct, begin, punct);
  }

  std::string_view sql_;
  std::vector<Token>& tokens_;
  std::size_t pos_ = 0;
};

}  // namespace

void tokenize(std::string_view sql, std::vector<Token>& tokens) { Tokenizer(sql, tokens).run(); }

}  // namespace orvane::sql_parsing::internal
