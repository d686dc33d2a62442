// Runs the fake warehouse by hand:
//   fake_snowflake --port N --sqlite FILE [--seed-sql FILE] [--http] [--tls-dir DIR]
//                  [--user U --password P] [--analyst-script FILE] [--public-key FILE]
//                  [--oauth-token T] [--programmatic-access-token T] [--rows-per-chunk N]
//                  [--stage-dir DIR]
// Prints "listening on 127.0.0.1:N" once ready and serves until SIGINT or SIGTERM.
#include <fstream>
#include <sstream>
#include <string>

#include "tests/fakes/common/fake_program.hpp"
#include "tests/fakes/snowflake/fake_snowflake.hpp"

namespace {

constexpr char kUsage[] =
    "usage: fake_snowflake --port N --sqlite FILE [--seed-sql FILE] [--http] [--tls-dir DIR] "
    "[--user U --password P] [--analyst-script FILE] [--public-key FILE] [--oauth-token T] "
    "[--programmatic-access-token T] [--rows-per-chunk N] [--stage-dir DIR]\n";

std::string read_file(const std::string& path) {
  std::ifstream file(path);
  if (!file) throw std::runtime_error("cannot read " + path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

fakes::FakeSnowflakeOptions parse_options(const fakes::Flags& flags) {
  fakes::FakeSnowflakeOptions options;
  options.tls = !flags.switches.contains("http");
  for (const auto& [name, value] : flags.values) {
    if (name == "port") {
      options.port = std::stoi(value);
    } else if (name == "sqlite") {
      options.sqlite_path = value;
    } else if (name == "seed-sql") {
      options.seed_sql = read_file(value);
    } else if (name == "tls-dir") {
      options.tls_dir = value;
    } else if (name == "user") {
      options.user = value;
    } else if (name == "password") {
      options.password = value;
    } else if (name == "analyst-script") {
      options.analyst_script = value;
    } else if (name == "public-key") {
      options.public_key_pem = read_file(value);
    } else if (name == "oauth-token") {
      options.oauth_token = value;
    } else if (name == "programmatic-access-token") {
      options.programmatic_access_token = value;
    } else if (name == "stage-dir") {
      options.stage_dir = value;
    } else if (name == "rows-per-chunk") {
      options.rows_per_chunk = std::stoul(value);
    } else {
      throw std::invalid_argument("unknown option --" + name);
    }
  }
  if (!flags.values.contains("port") || !flags.values.contains("sqlite")) {
    throw std::invalid_argument("--port and --sqlite are required");
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  return fakes::run_fake_program<fakes::FakeSnowflake>("fake_snowflake", kUsage, argc, argv,
                                                       {"http"}, parse_options);
}
