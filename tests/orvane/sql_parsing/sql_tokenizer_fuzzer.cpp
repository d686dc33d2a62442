// libFuzzer target for the tokenizer's byte tables: any bytes give either SqlSyntaxError or
// tokens in order inside the text, each punctuation with its kind and each word with the
// keyword its text spells; anything else aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "orvane/sql_parsing/internal/syntax_error.hpp"
#include "orvane/sql_parsing/internal/tokenizer.hpp"

using namespace orvane::sql_parsing::internal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view sql(reinterpret_cast<const char*>(data), size);
  std::vector<Token> tokens;
  try {
    tokenize(sql, tokens);
  } catch (const SqlSyntaxError&) {
    return 0;
  }
  if (tokens.empty() || tokens.back().kind != TokenKind::kEnd) std::abort();
  std::uint32_t previous_end = 0;
  for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (token.kind == TokenKind::kEnd || token.begin < previous_end || token.end <= token.begin ||
        token.end > size) {
      std::abort();
    }
    std::string_view text = sql.substr(token.begin, token.end - token.begin);
    if ((token.kind == TokenKind::kPunct) != (token.punct != Punct::kNone)) std::abort();
    if (token.kind == TokenKind::kWord && token.keyword != keyword_of(text)) std::abort();
    if (token.kind != TokenKind::kWord && token.keyword != Keyword::kNone) std::abort();
    previous_end = token.end;
  }
  if (tokens.back().begin < previous_end) std::abort();
  return 0;
}
