// Uploads one file (or a wildcard's matches) into a stage with `put_file`, reading the
// warehouse settings from the environment as the server does, so an upload can be checked from
// outside the test suite:
//
//   SNOWFLAKE__CONNECTION__ACCOUNT_ID=... put_file_driver @models ./model.yaml
//
// Prints the returned stage path and exits 0; on failure prints "<kind>: <message>" to stderr
// and exits 1 (2 for a wrong command line).
#include <iostream>

#include "orvane_semantic_agent/cortex/cortex.hpp"
#include "platform/errors/errors.hpp"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: put_file_driver STAGE FILE\n";
    return 2;
  }
  namespace cortex = orvane_semantic_agent::cortex;
  try {
    const auto config = cortex::SnowflakeProvisioningConfig::from_env();
    const auto conn = config.get_native_connection();
    std::cout << cortex::put_file(*conn, argv[1], argv[2]) << std::endl;
    return 0;
  } catch (const platform::Error& error) {
    std::cerr << platform::kind_name(error.kind()) << ": " << error.what() << "\n";
  } catch (const std::exception& error) {
    std::cerr << "Error: " << error.what() << "\n";
  }
  return 1;
}
