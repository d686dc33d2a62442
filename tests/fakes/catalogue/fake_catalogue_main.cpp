// Runs the fake catalogue by hand:
//   fake_catalogue --port N --data fixture.json [--token T]
// Prints "listening on 127.0.0.1:N" once ready (N is the bound port; --port 0 picks one) and
// serves POST /api/graphql until SIGINT or SIGTERM.
#include <csignal>
#include <iostream>
#include <map>
#include <string>

#include "tests/fakes/catalogue/fake_catalogue.hpp"

namespace {

constexpr char kUsage[] = "usage: fake_catalogue --port N --data fixture.json [--token T]\n";

fakes::FakeCatalogueOptions parse_arguments(int argc, char** argv) {
  std::map<std::string, std::string> values;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (!flag.starts_with("--") || i + 1 >= argc) {
      throw std::invalid_argument("unexpected argument " + flag);
    }
    values[flag.substr(2)] = argv[++i];
  }
  fakes::FakeCatalogueOptions options;
  for (const auto& [name, value] : values) {
    if (name == "port") {
      options.port = std::stoi(value);
    } else if (name == "data") {
      options.fixture_path = value;
    } else if (name == "token") {
      options.token = value;
    } else {
      throw std::invalid_argument("unknown option --" + name);
    }
  }
  if (!values.contains("port") || !values.contains("data")) {
    throw std::invalid_argument("--port and --data are required");
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  fakes::FakeCatalogueOptions options;
  try {
    options = parse_arguments(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n" << kUsage;
    return 2;
  }
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);  // before the server's threads start
  try {
    fakes::FakeCatalogue fake(std::move(options));
    std::cout << "listening on 127.0.0.1:" << fake.port() << std::endl;
    int received = 0;
    sigwait(&stop_signals, &received);
  } catch (const std::exception& error) {
    std::cerr << "fake_catalogue: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
