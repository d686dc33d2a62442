#include "orvane/sql_parsing/internal/token.hpp"

#include <array>
#include <cstdint>
#include <utility>

#include "platform/text/lower_case.hpp"

namespace orvane::sql_parsing::internal {
namespace {

using Entry = std::pair<std::string_view, Keyword>;

constexpr std::array kKeywords = {
    Entry{"ALL", Keyword::kAll},
    Entry{"AND", Keyword::kAnd},
    Entry{"ANY", Keyword::kAny},
    Entry{"AS", Keyword::kAs},
    Entry{"ASC", Keyword::kAsc},
    Entry{"ASOF", Keyword::kAsof},
    Entry{"AT", Keyword::kAt},
    Entry{"BEFORE", Keyword::kBefore},
    Entry{"BETWEEN", Keyword::kBetween},
    Entry{"BOTH", Keyword::kBoth},
    Entry{"BY", Keyword::kBy},
    Entry{"CASE", Keyword::kCase},
    Entry{"CHANGES", Keyword::kChanges},
    Entry{"CONNECT", Keyword::kConnect},
    Entry{"COPY", Keyword::kCopy},
    Entry{"CREATE", Keyword::kCreate},
    Entry{"CROSS", Keyword::kCross},
    Entry{"CURRENT", Keyword::kCurrent},
    Entry{"DELETE", Keyword::kDelete},
    Entry{"DESC", Keyword::kDesc},
    Entry{"DIRECTED", Keyword::kDirected},
    Entry{"DISTINCT", Keyword::kDistinct},
    Entry{"ELSE", Keyword::kElse},
    Entry{"END", Keyword::kEnd},
    Entry{"ESCAPE", Keyword::kEscape},
    Entry{"EXCEPT", Keyword::kExcept},
    Entry{"EXCLUDE", Keyword::kExclude},
    Entry{"EXPLAIN", Keyword::kExplain},
    Entry{"FALSE", Keyword::kFalse},
    Entry{"FETCH", Keyword::kFetch},
    Entry{"FIRST", Keyword::kFirst},
    Entry{"FOLLOWING", Keyword::kFollowing},
    Entry{"FOR", Keyword::kFor},
    Entry{"FROM", Keyword::kFrom},
    Entry{"FULL", Keyword::kFull},
    Entry{"GROUP", Keyword::kGroup},
    Entry{"GROUPS", Keyword::kGroups},
    Entry{"HAVING", Keyword::kHaving},
    Entry{"IGNORE", Keyword::kIgnore},
    Entry{"ILIKE", Keyword::kIlike},
    Entry{"IN", Keyword::kIn},
    Entry{"INNER", Keyword::kInner},
    Entry{"INSERT", Keyword::kInsert},
    Entry{"INTERSECT", Keyword::kIntersect},
    Entry{"INTERVAL", Keyword::kInterval},
    Entry{"INTO", Keyword::kInto},
    Entry{"IS", Keyword::kIs},
    Entry{"JOIN", Keyword::kJoin},
    Entry{"LAST", Keyword::kLast},
    Entry{"LATERAL", Keyword::kLateral},
    Entry{"LEADING", Keyword::kLeading},
    Entry{"LEFT", Keyword::kLeft},
    Entry{"LIKE", Keyword::kLike},
    Entry{"LIMIT", Keyword::kLimit},
    Entry{"MATCHED", Keyword::kMatched},
    Entry{"MATCH_CONDITION", Keyword::kMatchCondition},
    Entry{"MATCH_RECOGNIZE", Keyword::kMatchRecognize},
    Entry{"MERGE", Keyword::kMerge},
    Entry{"MINUS", Keyword::kMinus},
    Entry{"NATURAL", Keyword::kNatural},
    Entry{"NEXT", Keyword::kNext},
    Entry{"NOT", Keyword::kNot},
    Entry{"NULL", Keyword::kNull},
    Entry{"NULLS", Keyword::kNulls},
    Entry{"OFFSET", Keyword::kOffset},
    Entry{"ON", Keyword::kOn},
    Entry{"OR", Keyword::kOr},
    Entry{"ORDER", Keyword::kOrder},
    Entry{"OUTER", Keyword::kOuter},
    Entry{"OVER", Keyword::kOver},
    Entry{"OVERWRITE", Keyword::kOverwrite},
    Entry{"PARTITION", Keyword::kPartition},
    Entry{"PIVOT", Keyword::kPivot},
    Entry{"PRECEDING", Keyword::kPreceding},
    Entry{"PRIOR", Keyword::kPrior},
    Entry{"QUALIFY", Keyword::kQualify},
    Entry{"RANGE", Keyword::kRange},
    Entry{"RECURSIVE", Keyword::kRecursive},
    Entry{"REGEXP", Keyword::kRegexp},
    Entry{"RENAME", Keyword::kRename},
    Entry{"REPLACE", Keyword::kReplace},
    Entry{"RESPECT", Keyword::kRespect},
    Entry{"RIGHT", Keyword::kRight},
    Entry{"RLIKE", Keyword::kRlike},
    Entry{"ROW", Keyword::kRow},
    Entry{"ROWS", Keyword::kRows},
    Entry{"SAMPLE", Keyword::kSample},
    Entry{"SELECT", Keyword::kSelect},
    Entry{"SEPARATOR", Keyword::kSeparator},
    Entry{"SET", Keyword::kSet},
    Entry{"START", Keyword::kStart},
    Entry{"TABLE", Keyword::kTable},
    Entry{"TABLESAMPLE", Keyword::kTablesample},
    Entry{"THEN", Keyword::kThen},
    Entry{"TOP", Keyword::kTop},
    Entry{"TRAILING", Keyword::kTrailing},
    Entry{"TRUE", Keyword::kTrue},
    Entry{"UNBOUNDED", Keyword::kUnbounded},
    Entry{"UNION", Keyword::kUnion},
    Entry{"UNPIVOT", Keyword::kUnpivot},
    Entry{"UPDATE", Keyword::kUpdate},
    Entry{"USING", Keyword::kUsing},
    Entry{"VALUES", Keyword::kValues},
    Entry{"WHEN", Keyword::kWhen},
    Entry{"WHERE", Keyword::kWhere},
    Entry{"WINDOW", Keyword::kWindow},
    Entry{"WITH", Keyword::kWith},
    Entry{"WITHIN", Keyword::kWithin},
};

constexpr std::size_t kLongestKeyword = 15;  // MATCH_CONDITION, MATCH_RECOGNIZE

// Every word of the text is looked up, so a lookup is a few word-sized operations: the spelling,
// upper-cased, as two zero-padded 8-byte halves, hashed into an open-addressing table.
struct Spelling {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  bool operator==(const Spelling&) const = default;
};

// Clearing bit 5 of every byte upper-cases the letters; of the other bytes a word holds (digits,
// `_`, `$`, bytes above 0x7f) none becomes a letter or `_`, so no other word meets a keyword.
Spelling upper_spelling(std::string_view word) {
  constexpr std::uint64_t kNotBit5 = ~std::uint64_t{0x2020202020202020};
  Spelling spelling;
  std::size_t i = 0;
  for (; i < word.size() && i < 8; ++i) {
    spelling.low |= std::uint64_t{static_cast<unsigned char>(word[i])} << (8 * i);
  }
  for (; i < word.size(); ++i) {
    spelling.high |= std::uint64_t{static_cast<unsigned char>(word[i])} << (8 * (i - 8));
  }
  spelling.low &= kNotBit5;
  spelling.high &= kNotBit5;
  return spelling;
}

constexpr int kSlotBits = 9;
constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;

std::size_t slot_of(const Spelling& spelling) {
  std::uint64_t hash = spelling.low * 0x9E3779B97F4A7C15u ^ spelling.high * 0xC2B2AE3D27D4EB4Fu;
  return static_cast<std::size_t>(hash >> (64 - kSlotBits));
}

struct KeywordTable {
  struct Slot {
    Spelling spelling;
    Keyword keyword = Keyword::kNone;  // kNone: empty
  };
  std::array<Slot, kSlots> slots{};
  KeywordTable() {
    for (const Entry& entry : kKeywords) {
      Spelling spelling = upper_spelling(entry.first);
      std::size_t slot = slot_of(spelling);
      while (slots[slot].keyword != Keyword::kNone) slot = (slot + 1) % kSlots;
      slots[slot] = Slot{spelling, entry.second};
    }
  }
};

}  // namespace

Keyword keyword_of(std::string_view word) {
  if (word.size() < 2 || word.size() > kLongestKeyword) return Keyword::kNone;
  static const KeywordTable table;
  Spelling spelling = upper_spelling(word);
  for (std::size_t slot = slot_of(spelling); table.slots[slot].keyword != Keyword::kNone;
       slot = (slot + 1) % kSlots) {
    if (table.slots[slot].spelling == spelling) return table.slots[slot].keyword;
  }
  return Keyword::kNone;
}

std::string identifier_name(std::string_view sql, const Token& token) {
  std::string_view text = sql.substr(token.begin, token.end - token.begin);
  if (token.kind == TokenKind::kQuotedIdent) {
    text = text.substr(1, text.size() - 2);
    if (text.find('"') != std::string_view::npos) {
      std::string unquoted;
      unquoted.reserve(text.size());
      for (std::size_t i = 0; i < text.size(); ++i) {
        unquoted.push_back(text[i]);
        if (text[i] == '"') ++i;  // a doubled quote stands for one
      }
      return platform::text::lower_case(unquoted);
    }
  }
  return platform::text::lower_case(text);
}

std::string string_value(std::string_view sql, const Token& token) {
  std::string_view text = sql.substr(token.begin, token.end - token.begin);
  if (text.starts_with("$$")) return std::string(text.substr(2, text.size() - 4));
  if (text.front() != '\'') text.remove_prefix(1);  // X'..' and similar prefixes
  text = text.substr(1, text.size() - 2);
  std::string value;
  value.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if ((c == '\\' || c == '\'') && i + 1 < text.size()) c = text[++i];
    value.push_back(c);
  }
  return value;
}

}  // namespace orvane::sql_parsing::internal
