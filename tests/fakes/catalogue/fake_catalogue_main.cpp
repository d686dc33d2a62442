// Runs the fake catalogue by hand:
//   fake_catalogue --port N --data fixture.json [--token T]
// Prints "listening on 127.0.0.1:N" once ready (N is the bound port; --port 0 picks one) and
// serves POST /api/graphql until SIGINT or SIGTERM.
#include <stdexcept>
#include <string>

#include "tests/fakes/catalogue/fake_catalogue.hpp"
#include "tests/fakes/common/fake_program.hpp"

namespace {

constexpr char kUsage[] = "usage: fake_catalogue --port N --data fixture.json [--token T]\n";

fakes::FakeCatalogueOptions parse_options(const fakes::Flags& flags) {
  fakes::FakeCatalogueOptions options;
  for (const auto& [name, value] : flags.values) {
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
  if (!flags.values.contains("port") || !flags.values.contains("data")) {
    throw std::invalid_argument("--port and --data are required");
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  return fakes::run_fake_program<fakes::FakeCatalogue>("fake_catalogue", kUsage, argc, argv, {},
                                                       parse_options);
}
