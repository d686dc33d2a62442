// fake_tracking: a recording tracking server on 127.0.0.1 until stdin closes. Prints its URL
// (for MLFLOW_TRACKING_URI) on the first line, then every request it received.
#include <iostream>

#include "tests/fakes/tracking/fake_tracking.hpp"

int main() {
  fakes::FakeTracking tracking;
  std::cout << tracking.url() << std::endl;
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  for (const auto& request : tracking.requests()) {
    std::cout << request.method << " " << request.path << " " << request.body << "\n";
  }
  return 0;
}
