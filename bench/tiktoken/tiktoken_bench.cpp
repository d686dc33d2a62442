// Throughput of the o200k_base encoder on two generated corpora of 10 MB each, SQL-heavy and
// mixed-language, plus the cost of the first encode in a fresh process (the rank table is
// embedded read-only data, so this is all its start-up costs).
//
//   tiktoken_bench CORPUS_DIR
//
// Writes CORPUS_DIR/sql.txt and CORPUS_DIR/mixed.txt (documents separated by NUL bytes, the same
// on every run) so the reference's throughput can be measured on the same bytes
// (compare_with_reference.js), then prints one JSON line per corpus and one for start-up.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/tiktoken/encoding.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kCorpusBytes = 10 * 1000 * 1000;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::size_t below(std::size_t n) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::size_t>((state_ >> 33) % n);
  }
  template <class List>
  const auto& pick(const List& list) {
    return list[below(std::size(list))];
  }

 private:
  std::uint64_t state_;
};

std::string sql_document(Random& random) {
  static const char* kTables[] = {
      "analytics.fact_sales", "crm.customers",          "ORDERS", "dim_date",
      "raw.\"Event Log\"",    "staging.line_items_2024"};
  static const char* kColumns[] = {"customer_id", "order_id",   "ORDER_DATE",  "amount_usd",
                                   "status",      "created_at", "region_name", "sku"};
  static const char* kJoins[] = {"LEFT OUTER JOIN", "INNER JOIN", "JOIN", "FULL OUTER JOIN"};
  std::string doc = "-- generated report query " + std::to_string(random.below(100000)) + "\n";
  doc += "SELECT\n";
  const std::size_t columns = 2 + random.below(8);
  for (std::size_t i = 0; i < columns; ++i) {
    doc += "    t" + std::to_string(random.below(3)) + "." + random.pick(kColumns);
    if (random.below(3) == 0) doc += " AS alias_" + std::to_string(random.below(50));
    doc += i + 1 < columns ? ",\n" : "\n";
  }
  doc += "FROM " + std::string(random.pick(kTables)) + " t0\n";
  for (std::size_t j = 0; j < 1 + random.below(3); ++j) {
    doc += std::string(random.pick(kJoins)) + " " + random.pick(kTables) + " t" +
           std::to_string(j + 1) + " ON t0." + random.pick(kColumns) + " = t" +
           std::to_string(j + 1) + "." + random.pick(kColumns) + "\n";
  }
  doc += "WHERE t0.amount_usd >= " + std::to_string(random.below(1000000)) + "." +
         std::to_string(random.below(100)) + " AND t0.status IN ('SHIPPED', 'it''s late', 'N/A')\n";
  doc += "  AND t0.created_at BETWEEN '2024-01-01' AND '2024-12-31'\n";
  doc += "GROUP BY ALL\nORDER BY 1 DESC\nLIMIT " + std::to_string(random.below(10000)) + ";\n";
  return doc;
}

std::string mixed_document(Random& random) {
  static const char* kPhrases[] = {
      "The quarterly revenue grew by 12.5% compared to last year. ",
      "Les ventes ont augmenté de façon significative à Montréal. ",
      "Der Umsatz im Geschäftsjahr 2024 übertraf alle Erwartungen. ",
      "Продажи в этом квартале выросли на 15 процентов. ",
      "今年の売上は前年比で大幅に増加しました。",
      "本季度销售额同比增长百分之十二。",
      "매출이 전년 대비 크게 증가했습니다. ",
      "ارتفعت المبيعات بنسبة كبيرة هذا العام. ",
      "बिक्री में इस वर्ष उल्लेखनीय वृद्धि हुई। ",
      "Η πώληση αυξήθηκε σημαντικά φέτος. ",
      "Great job team 👍🎉 — see 👨‍👩‍👧 and 🇯🇵 for details! ",
      "customer_id, order_date, amount\n1042, 2024-03-01, 99.95\n",
      "    if (x != null) { return x * 2; }\n",
  };
  std::string doc;
  const std::size_t phrases = 5 + random.below(40);
  for (std::size_t i = 0; i < phrases; ++i) {
    doc += random.pick(kPhrases);
    if (random.below(8) == 0) doc += "\n\n";
  }
  return doc;
}

std::vector<std::string> make_corpus(std::string (*document)(Random&), std::uint64_t seed) {
  Random random(seed);
  std::vector<std::string> docs;
  std::size_t total = 0;
  while (total < kCorpusBytes) {
    docs.push_back(document(random));
    total += docs.back().size() + 1;
  }
  return docs;
}

void write_corpus(const std::filesystem::path& path, const std::vector<std::string>& docs) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const std::string& doc : docs) out << doc << '\0';
}

void measure(const char* name, const std::vector<std::string>& docs) {
  const auto& encoding = platform::tiktoken::o200k_base();
  std::size_t bytes = 0;
  for (const std::string& doc : docs) bytes += doc.size();
  double best = 1e9;
  std::size_t tokens = 0;
  for (int round = 0; round < 3; ++round) {
    tokens = 0;
    const auto start = Clock::now();
    for (const std::string& doc : docs) tokens += encoding.encode(doc).size();
    best = std::min(best, seconds_since(start));
  }
  std::cout << "{\"corpus\": \"" << name << "\", \"bytes\": " << bytes << ", \"tokens\": " << tokens
            << ", \"seconds\": " << best << ", \"mb_per_s\": " << bytes / best / 1e6
            << ", \"tokens_per_s\": " << tokens / best << "}\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: tiktoken_bench CORPUS_DIR\n";
    return 2;
  }
  // First, before anything else touches the table: the whole start-up cost of the encoder.
  const auto first_start = Clock::now();
  const std::size_t first_count = platform::tiktoken::encoding_for_model("gpt-4o-mini")
                                      .encode("SELECT customer_id FROM orders")
                                      .size();
  const double first_ms = seconds_since(first_start) * 1e3;

  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  const auto sql = make_corpus(&sql_document, 1);
  const auto mixed = make_corpus(&mixed_document, 2);
  write_corpus(dir / "sql.txt", sql);
  write_corpus(dir / "mixed.txt", mixed);

  std::cout << "{\"first_encode_ms\": " << first_ms << ", \"tokens\": " << first_count << "}\n";
  measure("sql", sql);
  measure("mixed", mixed);
  return 0;
}
