// fake_tracking [--frozen]: a recording tracking server on 127.0.0.1 until stdin closes. Prints
// its URL (for MLFLOW_TRACKING_URI) on the first line, then every request it received. With
// --frozen it takes requests and never answers them.
#include <iostream>
#include <string_view>

#include "tests/fakes/tracking/fake_tracking.hpp"

int main(int argc, char** argv) {
  fakes::FakeTracking tracking;
  if (argc > 1 && std::string_view(argv[1]) == "--frozen") tracking.freeze();
  std::cout << tracking.url() << std::endl;
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  for (const auto& request : tracking.requests()) {
    std::cout << request.method << " " << request.path << " " << request.body << "\n";
  }
  return 0;
}
