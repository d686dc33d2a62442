// fake_llm SCRIPT.json: serves the scripted chat completions on 127.0.0.1 until stdin closes.
// Prints the base URL (for OPENAI_BASE_URL) on the first line, then each request's body.
#include <fstream>
#include <iostream>
#include <sstream>

#include "tests/fakes/llm/fake_llm.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fake_llm SCRIPT.json\n";
    return 2;
  }
  std::ifstream file(argv[1]);
  std::stringstream text;
  text << file.rdbuf();
  std::vector<fakes::LlmAnswer> script;
  try {
    for (const auto& entry : nlohmann::json::parse(text.str())) {
      script.push_back(fakes::answer_from_json(entry));
    }
  } catch (const std::exception& error) {
    std::cerr << "cannot read the script " << argv[1] << ": " << error.what() << "\n";
    return 2;
  }
  fakes::FakeLlm llm(std::move(script));
  std::cout << llm.base_url() << std::endl;
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  for (const auto& request : llm.requests()) std::cout << request.body << "\n";
  return 0;
}
