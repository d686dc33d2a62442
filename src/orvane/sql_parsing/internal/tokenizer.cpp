#include "orvane/sql_parsing/internal/tokenizer.hpp"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

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

// A punctuation byte, and the second bytes that make one token with it: `=`, `=>`, `==`.
// No default member values: g++ 12 at -O2 emits those of a constexpr-built table as zeros.
struct PunctRule {
  Punct alone;
  char second;  // '\0': none
  Punct with_second;
  char other_second;
  Punct with_other_second;
};

constexpr std::array<PunctRule, 256> kPunctRules = [] {
  constexpr Punct kOp = Punct::kOperator;
  std::array<PunctRule, 256> rules{};  // alone kNone: the byte starts no punctuation
  for (unsigned char c : std::string_view("+/%&^~#")) rules[c] = {kOp, '\0', kOp, '\0', kOp};
  rules['('] = {Punct::kLParen, '\0', kOp, '\0', kOp};
  rules[')'] = {Punct::kRParen, '\0', kOp, '\0', kOp};
  rules[','] = {Punct::kComma, '\0', kOp, '\0', kOp};
  rules[';'] = {Punct::kSemicolon, '\0', kOp, '\0', kOp};
  rules['.'] = {Punct::kDot, '\0', kOp, '\0', kOp};
  rules['['] = {Punct::kLBracket, '\0', kOp, '\0', kOp};
  rules[']'] = {Punct::kRBracket, '\0', kOp, '\0', kOp};
  rules['{'] = {Punct::kLBrace, '\0', kOp, '\0', kOp};
  rules['}'] = {Punct::kRBrace, '\0', kOp, '\0', kOp};
  rules['*'] = {Punct::kStar, '\0', kOp, '\0', kOp};
  rules['?'] = {Punct::kQuestion, '\0', kOp, '\0', kOp};
  rules[':'] = {Punct::kColon, ':', Punct::kDoubleColon, '\0', kOp};
  rules['='] = {kOp, '>', Punct::kFatArrow, '=', kOp};
  rules['<'] = {kOp, '=', kOp, '>', kOp};
  rules['>'] = rules['!'] = {kOp, '=', kOp, '\0', kOp};
  rules['|'] = {kOp, '|', kOp, '\0', kOp};
  rules['-'] = {kOp, '>', kOp, '\0', kOp};  // -- starts a comment
  return rules;
}();

// What a token's first byte starts; next_token dispatches on it.
enum class Start : std::uint8_t {
  kInvalid,
  kWord,
  kLetterX,  // X'..' is a string, else a word
  kDigit,
  kDot,  // .5 is a number, else a dot
  kDoubleQuote,
  kSingleQuote,
  kDollar,  // $$...$$, $1, $name
  kAt,      // a stage
  kPunct,
};

constexpr std::array<Start, 256> kStarts = [] {
  std::array<Start, 256> starts{};
  for (int c = 0; c < 256; ++c) {
    if (kCharClasses[c] & kWordStart) starts[c] = Start::kWord;
    if (kCharClasses[c] & kDigit) starts[c] = Start::kDigit;
    if (kPunctRules[c].alone != Punct::kNone) starts[c] = Start::kPunct;
  }
  starts['x'] = starts['X'] = Start::kLetterX;
  starts['.'] = Start::kDot;
  starts['"'] = Start::kDoubleQuote;
  starts['\''] = Start::kSingleQuote;
  starts['$'] = Start::kDollar;
  starts['@'] = Start::kAt;
  return starts;
}();

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
    unsigned char c = byte(pos_);
    Start start = kStarts[c];
    if (start == Start::kWord) return scan_word(begin);  // most tokens: a test before the jump
    switch (start) {
      case Start::kLetterX:
        if (at(pos_ + 1) != '\'') return scan_word(begin);
        ++pos_;
        scan_quoted('\'', false, "string");
        return push(TokenKind::kString, begin);
      case Start::kWord:
        return scan_word(begin);
      case Start::kDot:
        if (!is_digit(at(pos_ + 1))) return scan_punct(begin);
        [[fallthrough]];
      case Start::kDigit:
        scan_number();
        return push(TokenKind::kNumber, begin);
      case Start::kDoubleQuote:
        scan_quoted('"', false, "quoted identifier");
        return push(TokenKind::kQuotedIdent, begin);
      case Start::kSingleQuote:
        scan_quoted('\'', true, "string");
        return push(TokenKind::kString, begin);
      case Start::kDollar:
        return scan_dollar(begin);
      case Start::kAt:
        return scan_stage(begin);
      case Start::kPunct:
        return scan_punct(begin);
      case Start::kInvalid:
        break;
    }
    fail(begin, unexpected_character(c));
  }

  void scan_word(std::size_t begin) {
    pos_ = skip_while(pos_ + 1, kWordChar);
    push(TokenKind::kWord, begin);
  }

  // $$...$$ is a string; $1 and $name are variables.
  void scan_dollar(std::size_t begin) {
    if (at(pos_ + 1) == '$') {
      std::size_t close = sql_.find("$$", pos_ + 2);
      if (close == std::string_view::npos) fail(begin, "unterminated $$ string");
      pos_ = close + 2;
      return push(TokenKind::kString, begin);
    }
    pos_ = skip_while(pos_ + 1, kWordChar);
    push(TokenKind::kVariable, begin);
  }

  // A stage reference runs to the next space or delimiter: @db.sch.stage/path/file.csv.gz
  void scan_stage(std::size_t begin) {
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
    push(TokenKind::kStage, begin);
  }

  void scan_punct(std::size_t begin) {
    const PunctRule& rule = kPunctRules[byte(pos_++)];
    Punct punct = rule.alone;
    char next = static_cast<char>(at(pos_));
    if (next != '\0' && next == rule.second) {
      ++pos_;
      punct = rule.with_second;
    } else if (next != '\0' && next == rule.other_second) {
      ++pos_;
      punct = rule.with_other_second;
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
