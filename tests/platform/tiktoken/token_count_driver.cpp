// Test driver: reads JSON lines {"text": "..."} on stdin and writes one JSON line per input,
// {"count": N}, or {"count": N, "tokens": [...]} with --tokens. A line that is not such an object
// gets {"error": "..."} and the driver goes on with the next line.
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "platform/tiktoken/encoding.hpp"

int main(int argc, char** argv) {
  const bool with_tokens = argc > 1 && std::string_view(argv[1]) == "--tokens";
  if (argc > 2 || (argc == 2 && !with_tokens)) {
    std::cerr << "usage: token_count_driver [--tokens] < json-lines\n";
    return 2;
  }
  const auto& encoding = platform::tiktoken::encoding_for_model("gpt-4o-mini");
  std::string line;
  while (std::getline(std::cin, line)) {
    nlohmann::json answer;
    try {
      const std::string text = nlohmann::json::parse(line).at("text").get<std::string>();
      const std::vector<platform::tiktoken::Rank> tokens = encoding.encode(text);
      answer["count"] = tokens.size();
      if (with_tokens) answer["tokens"] = tokens;
    } catch (const nlohmann::json::exception& e) {
      answer = {{"error", e.what()}};
    }
    std::cout << answer.dump() << '\n';
  }
  return 0;
}
