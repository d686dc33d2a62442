// Runs the fake warehouse by hand:
//   fake_snowflake --port N --sqlite FILE [--http] [--tls-dir DIR] [--user U --password P]
//                  [--analyst-script FILE] [--public-key FILE] [--oauth-token T]
//                  [--programmatic-access-token T] [--rows-per-chunk N]
// Prints "listening on 127.0.0.1:N" once ready and serves until SIGINT or SIGTERM.
#include <csignal>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "tests/fakes/snowflake/fake_snowflake.hpp"

namespace {

constexpr char kUsage[] =
    "usage: fake_snowflake --port N --sqlite FILE [--http] [--tls-dir DIR] [--user U "
    "--password P] [--analyst-script FILE] [--public-key FILE] [--oauth-token T] "
    "[--programmatic-access-token T] [--rows-per-chunk N]\n";

std::string read_file(const std::string& path) {
  std::ifstream file(path);
  if (!file) throw std::runtime_error("cannot read " + path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

fakes::FakeSnowflakeOptions parse_arguments(int argc, char** argv) {
  fakes::FakeSnowflakeOptions options;
  std::map<std::string, std::string> values;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--http") {
      options.tls = false;
    } else if (flag.starts_with("--") && i + 1 < argc) {
      values[flag.substr(2)] = argv[++i];
    } else {
      throw std::invalid_argument("unexpected argument " + flag);
    }
  }
  for (const auto& [name, value] : values) {
    if (name == "port") {
      options.port = std::stoi(value);
    } else if (name == "sqlite") {
      options.sqlite_path = value;
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
    } else if (name == "rows-per-chunk") {
      options.rows_per_chunk = std::stoul(value);
    } else {
      throw std::invalid_argument("unknown option --" + name);
    }
  }
  if (!values.contains("port") || !values.contains("sqlite")) {
    throw std::invalid_argument("--port and --sqlite are required");
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  fakes::FakeSnowflakeOptions options;
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
    fakes::FakeSnowflake fake(std::move(options));
    std::cout << "listening on " << fake.host() << std::endl;
    int received = 0;
    sigwait(&stop_signals, &received);
  } catch (const std::exception& error) {
    std::cerr << "fake_snowflake: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
