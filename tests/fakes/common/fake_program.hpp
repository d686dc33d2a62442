// What every fake's command-line program shares: "--name value" flags, and serving until
// SIGINT or SIGTERM after printing "listening on 127.0.0.1:N".
//
//   int main(int argc, char** argv) {
//     return fakes::run_fake_program<FakeX>("fake_x", kUsage, argc, argv, {"http"}, parse_options);
//   }
#pragma once

#include <csignal>
#include <iostream>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

namespace fakes {

struct Flags {
  std::map<std::string, std::string> values;  // "--name value", keyed by name
  std::set<std::string> switches;             // bare "--name" flags named as switches
};

// Throws std::invalid_argument on a stray argument or a flag without its value.
inline Flags parse_flags(int argc, char** argv, const std::set<std::string>& switch_names = {}) {
  Flags flags;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (!flag.starts_with("--")) throw std::invalid_argument("unexpected argument " + flag);
    const std::string name = flag.substr(2);
    if (switch_names.contains(name)) {
      flags.switches.insert(name);
    } else if (i + 1 < argc) {
      flags.values[name] = argv[++i];
    } else {
      throw std::invalid_argument("missing value for " + flag);
    }
  }
  return flags;
}

// Parses the options with `parse(flags)`, `switch_names` being the flags without a value (usage and
// exit status 2 on a bad command line), starts the fake, prints its address, and serves until
// SIGINT or SIGTERM (exit status 0), or reports a start-up failure (exit status 1).
template <typename Fake, typename Parse>
int run_fake_program(const char* program, const char* usage, int argc, char** argv,
                     const std::set<std::string>& switch_names, Parse parse) {
  decltype(parse(Flags{})) options;
  try {
    options = parse(parse_flags(argc, argv, switch_names));
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n" << usage;
    return 2;
  }
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);  // before the server's threads start
  try {
    Fake fake(std::move(options));
    std::cout << "listening on 127.0.0.1:" << fake.port() << std::endl;
    int received = 0;
    sigwait(&stop_signals, &received);
  } catch (const std::exception& error) {
    std::cerr << program << ": " << error.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace fakes
